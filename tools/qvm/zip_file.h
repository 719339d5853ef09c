// Zip archives: a bundled player for mailing, stored under its own name, and
// a course package's files; deflated at the strongest level.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The zip beside a file: "Demo.exe" -> "Demo.zip".
std::string ZipPathFor(const std::string& path);

// Writes zip_path holding each (name, bytes) entry in turn, deflated, and
// returns the archive's size in bytes. A program entry keeps the Unix mode
// that lets it be started once unpacked. libzip writes under a temporary name
// and renames when done, so a failure leaves no half-written archive. Throws
// std::runtime_error.
struct ZipEntry {
  std::string name;
  std::string bytes;
  bool program = false;
};
int64_t ZipEntries(const std::vector<ZipEntry>& entries, const std::string& zip_path);

// Writes zip_path holding the program at file_path under its own name; as
// ZipEntries otherwise.
int64_t ZipOneFile(const std::string& file_path, const std::string& zip_path);
