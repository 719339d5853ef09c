#include "qvm/output_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

OutputFile::OutputFile(const std::string& path) : path_(path) {
  std::string pattern = path + ".part-XXXXXX";
  const int fd = mkstemp(pattern.data());
  if (fd < 0) throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
  temporary_ = pattern;
  // mkstemp makes the file private; the finished file gets the usual mode.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  file_ = fdopen(fd, "wb");
  if (!file_) {
    close(fd);
    Fail("opening");
  }
}

OutputFile::~OutputFile() {
  if (file_) std::fclose(file_);
  if (!temporary_.empty()) std::remove(temporary_.c_str());
}

void OutputFile::Fail(const char* doing) {
  const std::string reason = std::strerror(errno);
  if (file_) std::fclose(file_);
  file_ = nullptr;
  std::remove(temporary_.c_str());
  temporary_.clear();
  throw std::runtime_error(std::string("cannot write ") + path_ + " (" + doing + "): " + reason +
                           "; nothing was written");
}

void OutputFile::Write(const void* bytes, size_t count) {
  if (!file_) Fail("writing");
  if (count > 0 && std::fwrite(bytes, 1, count, file_) != count) Fail("writing");
}

void WriteOutput(const std::string& path, const std::string& bytes) {
  OutputFile file(path);
  file.Write(bytes);
  file.Commit();
}

void OutputFile::Commit() {
  if (!file_) Fail("closing");
  if (std::fflush(file_) != 0 || fsync(fileno(file_)) != 0) Fail("flushing");
  std::FILE* file = file_;
  file_ = nullptr;
  if (std::fclose(file) != 0) Fail("closing");
  if (std::rename(temporary_.c_str(), path_.c_str()) != 0) Fail("renaming");
  temporary_.clear();
}
