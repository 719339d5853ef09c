#include "qvm/movie_file.h"

#include <cstdio>
#include <stdexcept>

#include "movie/row_list.h"
#include "qvm/movie_writer.h"

std::string Folder(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

const char* LayoutName(MovieKind kind) {
  switch (kind) {
    case MovieKind::kAppended: return "appended to a player";
    case MovieKind::kMovieFile: return "movie file";
    case MovieKind::kExternalPair: return "external pair";
  }
  return "";
}

MovieFile OpenMovieFile(const std::string& path) {
  MovieFile m;
  m.path = path;
  const std::string stack = Folder(path) + "/demoStack.kts";
  if (BareName(path) == "demoFlow.txt" && StampOf(stack).bytes >= 0) {
    m.fault = ReadLayout(MovieKind::kExternalPair, path, stack, &m.movie);
  } else {
    m.fault = ReadLayout(MovieKind::kAppended, path, path, &m.movie);
    if (m.fault == LayoutFault::kNoMarker) {
      m.fault = ReadLayout(MovieKind::kMovieFile, path, path, &m.movie);
    }
  }
  if (m.fault == LayoutFault::kNoFile) throw std::runtime_error("cannot open " + path);
  return m;
}

void RequirePlayable(const MovieFile& m) {
  if (m.fault != LayoutFault::kNone) {
    throw std::runtime_error(m.path + ": " + LayoutFaultText(m.fault, m.movie));
  }
}

std::string ReadFileRange(const std::string& path, int64_t offset, int64_t count) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) throw std::runtime_error("cannot open " + path);
  std::string bytes;
  if (offset >= 0 && count > 0 && fseeko(file, offset, SEEK_SET) == 0) {
    char buf[65536];
    while (count > 0) {
      size_t want = count < int64_t(sizeof buf) ? size_t(count) : sizeof buf;
      size_t n = std::fread(buf, 1, want, file);
      if (n == 0) break;
      bytes.append(buf, n);
      count -= int64_t(n);
    }
  }
  std::fclose(file);
  return bytes;
}
