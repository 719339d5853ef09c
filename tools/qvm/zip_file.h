// A zip archive holding one file, for mailing a bundled player: deflated at
// the strongest level, stored under the file's own name.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The zip beside a file: "Demo.exe" -> "Demo.zip".
std::string ZipPathFor(const std::string& path);

// Writes zip_path holding file_path and returns the archive's size in bytes.
// libzip writes under a temporary name and renames when done, so a failure
// leaves no half-written archive. Throws std::runtime_error.
int64_t ZipOneFile(const std::string& file_path, const std::string& zip_path);

// Writes zip_path holding each (name, bytes) entry in turn, deflated, and
// returns the archive's size in bytes; as ZipOneFile otherwise.
struct ZipEntry {
  std::string name;
  std::string bytes;
};
int64_t ZipEntries(const std::vector<ZipEntry>& entries, const std::string& zip_path);
