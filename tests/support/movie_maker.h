// Helpers for tests that need movies and files on disk.
#pragma once
#include <string>

#include "qvm/movie_writer.h"

// A fresh empty directory for one test.
std::string TempDir(const std::string& tag);

// Changes the current directory for the life of the object.
class InDir {
 public:
  explicit InDir(const std::string& dir);
  ~InDir();

 private:
  std::string old_;
};

// A small movie: `frames` pictures of wid x hgt, frame n filled with colour n,
// with a band that moves so rows are shared and differ.
MoviePlan SmallMovie(int32_t frames, int32_t wid, int32_t hgt);
