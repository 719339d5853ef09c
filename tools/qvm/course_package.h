// A course for a learning system: a SCORM 1.2 package whose one lesson is the
// movie's page. The page carries a mark that makes it report to the system:
// begun when it opens, completed once the last frame has shown.
#pragma once
#include <cstdint>
#include <string>

// The page's name inside the package.
extern const char kCoursePageName[];

// The manifest naming the page as the package's one resource; title is UTF-8.
std::string CourseManifest(const std::string& title);

// The movie's page with the course's mark, which names the last frame.
std::string CoursePage(std::string page, int32_t last_frame);
