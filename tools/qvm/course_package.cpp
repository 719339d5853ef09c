// The course's manifest and mark. A learning system reads imsmanifest.xml at
// the package's root; the organisation's one item launches the page.
#include "qvm/course_package.h"

#include <stdexcept>

const char kCoursePageName[] = "index.html";

namespace {

std::string XmlEscaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '&') out += "&amp;";
    else if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else if (c == '"') out += "&quot;";
    else out += c;
  }
  return out;
}

}  // namespace

std::string CourseManifest(const std::string& title) {
  const std::string name = XmlEscaped(title.empty() ? "Movie" : title);
  return std::string(
             "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
             "<manifest identifier=\"qv-movie-course\" version=\"1.0\"\n"
             "    xmlns=\"http://www.imsproject.org/xsd/imscp_rootv1p1p2\"\n"
             "    xmlns:adlcp=\"http://www.adlnet.org/xsd/adlcp_rootv1p2\"\n"
             "    xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"\n"
             "    xsi:schemaLocation=\"http://www.imsproject.org/xsd/imscp_rootv1p1p2 imscp_rootv1p1p2.xsd "
             "http://www.imsglobal.org/xsd/imsmd_rootv1p2p1 imsmd_rootv1p2p1.xsd "
             "http://www.adlnet.org/xsd/adlcp_rootv1p2 adlcp_rootv1p2.xsd\">\n"
             "  <metadata>\n"
             "    <schema>ADL SCORM</schema>\n"
             "    <schemaversion>1.2</schemaversion>\n"
             "  </metadata>\n"
             "  <organizations default=\"qv-organization\">\n"
             "    <organization identifier=\"qv-organization\">\n"
             "      <title>") +
         name +
         "</title>\n"
         "      <item identifier=\"qv-item\" identifierref=\"qv-movie\" isvisible=\"true\">\n"
         "        <title>" +
         name +
         "</title>\n"
         "      </item>\n"
         "    </organization>\n"
         "  </organizations>\n"
         "  <resources>\n"
         "    <resource identifier=\"qv-movie\" type=\"webcontent\" adlcp:scormtype=\"sco\" href=\"" +
         kCoursePageName + "\">\n      <file href=\"" + kCoursePageName +
         "\"/>\n"
         "    </resource>\n"
         "  </resources>\n"
         "</manifest>\n";
}

std::string CoursePage(std::string page, int32_t last_frame) {
  const std::string head = "<meta charset=\"utf-8\">";
  const size_t at = page.find(head);
  if (at == std::string::npos) throw std::runtime_error("the page player has no " + head);
  page.insert(at + head.size(),
              "\n<meta name=\"qv-course\" data-last-frame=\"" + std::to_string(last_frame) + "\">");
  return page;
}
