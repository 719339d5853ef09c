// Runs the built qvm in a child shell and hands back its exit code and output,
// plus the small file helpers the tool tests share.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "qvm/movie_writer.h"

struct QvmResult {
  int exit_code = -1;
  std::string out;  // standard output
  std::string err;  // standard error
};

QvmResult RunQvm(const std::vector<std::string>& args);

// "Name: value" lines of qvm info, by name.
std::map<std::string, std::string> InfoFields(const std::string& out);

// A fresh folder under the temporary directory, removed by the destructor.
class ScratchDir {
 public:
  explicit ScratchDir(const std::string& tag);
  ~ScratchDir();
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string ReadBytes(const std::string& path);  // empty when unreadable
Picture ReadPicture(const std::string& path);    // fails the test when unreadable
void SavePicture(const std::string& path, const Picture& picture);

// A screen-like picture: a grey desktop, a title band and a few lines that
// change with seed, so frames share most rows and differ in some.
Picture ScreenPicture(int32_t wid, int32_t hgt, int32_t seed);
