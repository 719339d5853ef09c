#include "tool/qvm_run.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>

#include "qvm/png_io.h"

namespace {

std::string Quote(const std::string& arg) {
  std::string quoted = "'";
  for (char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

QvmResult RunQvm(const std::vector<std::string>& args) {
  ScratchDir capture("run");
  std::string command = Quote(QVM_PATH);
  for (const std::string& arg : args) command += " " + Quote(arg);
  command += " >" + Quote(capture / "out") + " 2>" + Quote(capture / "err");
  QvmResult result;
  int status = std::system(command.c_str());
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = ReadBytes(capture / "out");
  result.err = ReadBytes(capture / "err");
  return result;
}

std::map<std::string, std::string> InfoFields(const std::string& out) {
  std::map<std::string, std::string> fields;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    size_t colon = line.find(": ");
    if (colon != std::string::npos) fields[line.substr(0, colon)] = line.substr(colon + 2);
  }
  return fields;
}

ScratchDir::ScratchDir(const std::string& tag) {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base ? base : "/tmp") + "/qvm-" + tag + "-XXXXXX";
  if (!mkdtemp(pattern.data())) std::abort();
  path_ = pattern;
}

ScratchDir::~ScratchDir() {
  std::string command = "rm -rf " + Quote(path_);
  if (std::system(command.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", path_.c_str());
}

std::string ReadBytes(const std::string& path) {
  try {
    return ReadWhole(path);
  } catch (const std::runtime_error&) {
    return "";  // no file: no bytes
  }
}

Picture ReadPicture(const std::string& path) {
  Picture picture;
  std::string error;
  EXPECT_TRUE(ReadPng(path, &picture, &error)) << path << ": " << error;
  return picture;
}

void SavePicture(const std::string& path, const Picture& picture) {
  std::string error;
  ASSERT_TRUE(WritePng(path, picture, &error)) << path << ": " << error;
}

Picture ScreenPicture(int32_t wid, int32_t hgt, int32_t seed) {
  Picture p = MakePicture(wid, hgt, 0x3A6EA5);
  for (int32_t y = 0; y < hgt && y < 8; ++y) {
    for (int32_t x = 0; x < wid; ++x) p.row(y)[3 * x] = uint8_t(40 + y);
  }
  for (int32_t k = 0; k < 3; ++k) {
    int32_t y = (seed * 7 + k * 11) % hgt;
    for (int32_t x = 0; x < wid; ++x) {
      uint8_t* px = p.row(y) + 3 * x;
      px[0] = uint8_t(seed + x), px[1] = uint8_t(k * 60), px[2] = uint8_t(255 - x);
    }
  }
  return p;
}
