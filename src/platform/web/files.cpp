// The web platform, part two: files. The page writes the movie's files into
// the module's in-memory file system (folder /movie, the current directory)
// with their bytes in the module's own memory, registered here, so mapping a
// file hands out those bytes without a copy.
#include <dirent.h>
#include <strings.h>

#include <cstring>
#include <map>
#include <string>

#include "movie/movie_layout.h"
#include "movie/movie_source.h"
#include "movie/row_order.h"
#include "platform/platform.h"
#include "platform/web/web_shell.h"

namespace {

struct Bytes {
  uint8_t* data;
  int64_t size;
};
std::map<std::string, Bytes> g_files;  // by path, as the page named them
// A page has no program file of its own: an empty stand-in without a marker.
const char kNoModule[] = "/page/QV_MoviePlayer.html";

// The pattern is "*" and a suffix ("*.QVM"), matched without regard to case
// as the Windows file system does.
bool Matches(const char* pattern, const char* name) {
  if (pattern[0] != '*') return std::strcmp(pattern, name) == 0;
  const size_t suffix = std::strlen(pattern + 1), length = std::strlen(name);
  return length >= suffix && strcasecmp(name + length - suffix, pattern + 1) == 0;
}

struct Search {
  DIR* dir;
  std::string pattern;
};

bool NextMatch(Search* s, char* name, int size) {
  while (dirent* e = readdir(s->dir)) {
    if (e->d_type != DT_REG || !Matches(s->pattern.c_str(), e->d_name)) continue;
    std::snprintf(name, size_t(size), "%s", e->d_name);
    return true;
  }
  return false;
}

// The file as the page registered it, or null.
Bytes* Find(const std::string& path) {
  auto it = g_files.find(path);
  if (it == g_files.end()) it = g_files.find("/movie/" + BareName(path));
  return it == g_files.end() ? nullptr : &it->second;
}

}  // namespace

namespace web {

void AddFile(const char* path, uint8_t* data, int64_t size) { g_files[path] = {data, size}; }

// A movie's stack is sorted for the page's size, which scatters a frame's
// rows over all of it; in the order the frames name them, a jump reads runs
// of rows. Left as it is when anything does not fit.
void PutRowsInPlayOrder(const MovieSource& m) {
  Bytes* flow = Find(m.flow_path);
  Bytes* stack = Find(m.stack_path);
  if (!flow || !stack || m.FirstFlowByte < 0 || m.LastFlowByte > flow->size ||
      m.FirstFlowByte > m.LastFlowByte || m.FirstStackByte > stack->size) {
    return;
  }
  ::PutRowsInPlayOrder(reinterpret_cast<char*>(flow->data) + m.FirstFlowByte,
                       size_t(m.LastFlowByte - m.FirstFlowByte), stack->data + m.FirstStackByte,
                       stack->size - m.FirstStackByte, m.StackWid, m.FirstStackByte);
}

}  // namespace web

namespace platform {

// A player handed to the viewer among the files is the module file, so its
// appended movie is found as the player finds it; otherwise the stand-in, so
// the movie is looked for in the current directory.
int module_file_name(char* buf, int size) {
  for (const auto& [path, bytes] : g_files) {
    if (Matches("*.exe", BareName(path).c_str())) return std::snprintf(buf, size_t(size), "%s", path.c_str());
  }
  return std::snprintf(buf, size_t(size), "%s", kNoModule);
}

int current_directory(char* buf, int size) { return std::snprintf(buf, size_t(size), "/movie"); }

void* find_first(const char* pattern, char* name, int size) {
  DIR* dir = opendir(".");
  if (!dir) return nullptr;
  auto* s = new Search{dir, pattern};
  if (NextMatch(s, name, size)) return s;
  find_close(s);
  return nullptr;
}

bool find_next(void* search, char* name, int size) {
  return NextMatch(static_cast<Search*>(search), name, size);
}

void find_close(void* search) {
  auto* s = static_cast<Search*>(search);
  closedir(s->dir);
  delete s;
}

const uint8_t* map_file(const char* path, int64_t size) {
  const Bytes* file = Find(path);
  return file && file->size >= size ? file->data : nullptr;
}

// The bytes belong to the page's file for as long as the movie plays.
void unmap_file(const uint8_t*, int64_t) {}

// Several movie files dropped together: the page has no dialog to offer, so
// the first of them by name is the viewer's choice.
void choose_movie_file(const char* pattern, const char*, char* file, int size) {
  for (const auto& [path, bytes] : g_files) {
    if (Matches(pattern, BareName(path).c_str())) {
      std::snprintf(file, size_t(size), "%s", BareName(path).c_str());
      return;
    }
  }
  std::snprintf(file, size_t(size), "%s", pattern);
}

}  // namespace platform
