// A file that appears whole or not at all: written under a temporary name
// beside its final one and renamed when complete, so a refusal, a full disk
// or an interrupted run never leaves half a movie where a whole one is
// expected, and never spoils the file it would have replaced.
#pragma once
#include <cstddef>
#include <cstdio>
#include <string>

class OutputFile {
 public:
  // Throws std::runtime_error when the folder cannot take the file.
  explicit OutputFile(const std::string& path);
  // Without Commit the temporary file is removed.
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Throws std::runtime_error, naming the file, when the bytes cannot be written.
  void Write(const void* bytes, size_t count);
  void Write(const std::string& bytes) { Write(bytes.data(), bytes.size()); }
  // Flushes, closes and renames; throws as Write does.
  void Commit();

 private:
  [[noreturn]] void Fail(const char* doing);

  std::string path_;
  std::string temporary_;
  std::FILE* file_ = nullptr;
};

// A whole file written in one go, as above.
void WriteOutput(const std::string& path, const std::string& bytes);
