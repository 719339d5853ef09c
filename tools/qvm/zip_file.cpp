#include "qvm/zip_file.h"

#include <sys/stat.h>
#include <zip.h>

#include <stdexcept>

#include "qvm/movie_file.h"
#include "qvm/movie_writer.h"

namespace {

std::string OpenError(int code) {
  zip_error_t error;
  zip_error_init_with_code(&error, code);
  std::string text = zip_error_strerror(&error);
  zip_error_fini(&error);
  return text;
}

}  // namespace

std::string ZipPathFor(const std::string& path) {
  const std::string base = BareName(path);
  const size_t dot = base.rfind('.');
  if (dot == std::string::npos || dot == 0) return path + ".zip";
  return path.substr(0, path.size() - (base.size() - dot)) + ".zip";
}

int64_t ZipOneFile(const std::string& file_path, const std::string& zip_path) {
  return ZipEntries({{BareName(file_path), ReadWhole(file_path), true}}, zip_path);
}

int64_t ZipEntries(const std::vector<ZipEntry>& entries, const std::string& zip_path) {
  int code = 0;
  zip_t* archive = zip_open(zip_path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
  if (!archive) throw std::runtime_error("cannot write " + zip_path + ": " + OpenError(code));
  auto fail = [&](const std::string& doing) {
    const std::string reason = zip_strerror(archive);
    zip_discard(archive);
    throw std::runtime_error("cannot write " + zip_path + " (" + doing + "): " + reason);
  };
  for (const ZipEntry& e : entries) {
    // libzip reads the bytes when it closes the archive; entries outlives that.
    zip_source_t* source = zip_source_buffer(archive, e.bytes.data(), e.bytes.size(), 0);
    if (!source) fail("reading " + e.name);
    const zip_int64_t entry = zip_file_add(archive, e.name.c_str(), source, ZIP_FL_ENC_UTF_8);
    if (entry < 0) {
      zip_source_free(source);
      fail("adding " + e.name);
    }
    if (zip_set_file_compression(archive, zip_uint64_t(entry), ZIP_CM_DEFLATE, 9) != 0) fail("choosing deflate");
    // Unpacked on a Unix system a player stays a program one can start.
    if (e.program) zip_file_set_external_attributes(archive, zip_uint64_t(entry), 0, ZIP_OPSYS_UNIX, uint32_t(0100755) << 16);
  }
  if (zip_close(archive) != 0) fail("closing");
  struct stat written;
  if (stat(zip_path.c_str(), &written) != 0) throw std::runtime_error("cannot read back " + zip_path);
  return int64_t(written.st_size);
}
