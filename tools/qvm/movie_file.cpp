#include "qvm/movie_file.h"

#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <stdexcept>

#include "movie/locator.h"
#include "movie/movie_source.h"

namespace {

constexpr int kEndByte = 0xFF;
constexpr int64_t kMarkerLength = 94;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File OpenOrThrow(const std::string& path) {
  File file(std::fopen(path.c_str(), "rb"));
  if (!file) throw std::runtime_error("cannot open " + path);
  return file;
}

int64_t FileSize(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? int64_t{st.st_size} : -1;
}

// Offset of the first end byte at or after offset, or -1.
int64_t FindEndByte(std::FILE* file, int64_t offset) {
  if (fseeko(file, offset, SEEK_SET) != 0) return -1;
  unsigned char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, file)) > 0) {
    for (size_t i = 0; i < n; ++i) {
      if (buf[i] == kEndByte) return offset + int64_t(i);
    }
    offset += int64_t(n);
  }
  return -1;
}

// The width field: two bytes, most significant first; 0 when cut off.
int32_t ReadWidth(const std::string& path, int64_t offset) {
  std::string bytes = ReadFileRange(path, offset, 2);
  if (bytes.size() < 2) return 0;
  return static_cast<unsigned char>(bytes[0]) * 256 + static_cast<unsigned char>(bytes[1]);
}

std::string Folder(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

std::string BareName(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool TakeExternalPair(MovieFile* m) {
  if (BareName(m->path) != "demoFlow.txt") return false;
  std::string stack = Folder(m->path) + "/demoStack.kts";
  if (FileSize(stack) < 0) return false;
  m->layout = Layout::kExternalPair;
  m->stack_path = stack;
  m->first_flow = 0;
  m->last_flow = m->flow_file_bytes;
  m->first_stack = 2;
  m->stack_file_bytes = FileSize(stack);
  m->stack_wid = ReadWidth(stack, 0);
  return true;
}

// A bundled player or a movie file: one file holds flow, end byte and stack.
void TakeOneFile(std::FILE* file, MovieFile* m) {
  std::rewind(file);
  if (FindMarker(file)) {
    m->layout = Layout::kAppended;
    m->first_flow = ftello(file);
    m->marker_offset = m->first_flow - kMarkerLength;
  }
  m->last_flow = FindEndByte(file, m->first_flow);
  if (m->has_end()) {
    m->first_stack = m->last_flow + 3;
    m->stack_wid = ReadWidth(m->path, m->last_flow + 1);
  }
}

}  // namespace

const char* LayoutName(Layout layout) {
  switch (layout) {
    case Layout::kAppended: return "appended to a player";
    case Layout::kMovieFile: return "movie file";
    case Layout::kExternalPair: return "external pair";
  }
  return "";
}

MovieFile OpenMovieFile(const std::string& path) {
  MovieFile m;
  m.path = m.flow_path = m.stack_path = path;
  File file = OpenOrThrow(path);
  m.flow_file_bytes = m.stack_file_bytes = FileSize(path);
  if (TakeExternalPair(&m)) return m;
  TakeOneFile(file.get(), &m);
  return m;
}

void RequirePlayable(const MovieFile& m) {
  if (!m.has_end()) throw std::runtime_error(m.path + " holds no movie: no end byte (0xFF)");
  if (m.stack_wid < 1 || m.stack_wid > kMaxStackWid) {
    throw std::runtime_error(m.path + ": the movie is " + std::to_string(m.stack_wid) +
                             " pixels wide; the player shows 1 to 3000");
  }
  if (m.first_stack > INT32_MAX) {
    throw std::runtime_error(m.path + ": the flow ends beyond the player's 32-bit offsets");
  }
}

std::string ReadFileRange(const std::string& path, int64_t offset, int64_t count) {
  File file = OpenOrThrow(path);
  std::string bytes;
  if (offset < 0 || count <= 0 || fseeko(file.get(), offset, SEEK_SET) != 0) return bytes;
  char buf[65536];
  while (count > 0) {
    size_t want = count < int64_t(sizeof buf) ? size_t(count) : sizeof buf;
    size_t n = std::fread(buf, 1, want, file.get());
    if (n == 0) break;
    bytes.append(buf, n);
    count -= int64_t(n);
  }
  return bytes;
}
