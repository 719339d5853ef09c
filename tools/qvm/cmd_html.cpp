// qvm html: one page that plays a movie in any browser, with nothing beside
// it. The page player (the web build's qv_page.html) is filled with the
// movie's title and its files, gzip-compressed for the browser to inflate and
// base64-encoded into the page. Without a movie (--viewer) the page asks for
// one to be opened or dropped onto it.
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "movie/settings.h"
#include "qvm/cli_args.h"
#include "qvm/commands.h"
#include "qvm/movie_file.h"
#include "qvm/movie_writer.h"
#include "qvm/output_file.h"

namespace {

struct PageFile {
  std::string name;
  std::string bytes;
};

// The page player the web build makes, beside qvm's own build folder.
std::string DefaultPlayer() {
  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return "build/web/qv_page.html";
  self[n] = '\0';
  return Folder(Folder(self)) + "/web/qv_page.html";
}

// The files the page gives the player, named as the player looks for them.
// A bundled player gives only its movie, the bytes after its marker line: the
// same flow, end byte, width field and stack a movie file holds.
std::vector<PageFile> MovieFiles(const MovieFile& file) {
  const MovieSource& m = file.movie;
  switch (m.kind) {
    case MovieKind::kExternalPair:
      return {{"demoFlow.txt", ReadWhole(m.flow_path)}, {"demoStack.kts", ReadWhole(m.stack_path)}};
    case MovieKind::kAppended: {
      std::string name = BareName(file.path);
      const size_t dot = name.rfind('.');
      if (dot != std::string::npos) name.resize(dot);
      return {{name + ".QVM", ReadFileRange(m.flow_path, m.FirstFlowByte, INT64_MAX)}};
    }
    case MovieKind::kMovieFile:
      break;
  }
  return {{BareName(file.path), ReadWhole(file.path)}};
}

// One gzip stream of every file's bytes in turn, as the page inflates it.
std::string Gzip(const std::vector<PageFile>& files) {
  z_stream z = {};
  if (deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("cannot start the compression");
  }
  std::string out;
  std::vector<unsigned char> buf(1 << 20);
  for (size_t i = 0; i < files.size(); ++i) {
    const std::string& in = files[i].bytes;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    z.avail_in = uInt(in.size());
    const int flush = i + 1 == files.size() ? Z_FINISH : Z_NO_FLUSH;
    int status;
    do {
      z.next_out = buf.data();
      z.avail_out = uInt(buf.size());
      status = deflate(&z, flush);
      out.append(reinterpret_cast<char*>(buf.data()), buf.size() - z.avail_out);
    } while (z.avail_out == 0 || (flush == Z_FINISH && status != Z_STREAM_END));
  }
  deflateEnd(&z);
  return out;
}

std::string Base64(const std::string& in) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((in.size() + 2) / 3 * 4);
  for (size_t i = 0; i < in.size(); i += 3) {
    uint32_t v = uint32_t(uint8_t(in[i])) << 16;
    if (i + 1 < in.size()) v |= uint32_t(uint8_t(in[i + 1])) << 8;
    if (i + 2 < in.size()) v |= uint8_t(in[i + 2]);
    // A last group of one or two bytes gives two or three digits and "=" for the rest.
    for (int k = 0; k < 4; ++k) out += i + k <= in.size() ? kDigits[(v >> (18 - 6 * k)) & 63] : '=';
  }
  return out;
}

std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '&') out += "&amp;";
    else if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else out += c;
  }
  return out;
}

// File names in data-files, where "/" and ":" separate the entries.
std::string UriEscaped(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (isalnum(c) || c == '.' || c == '-' || c == '_') {
      out += char(c);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      out += hex;
    }
  }
  return out;
}

// The movie's title is the window's, as its header sets it; Latin-1 bytes of
// an old header are shown as such.
std::string TitleOf(const MovieSource& movie) {
  PlayerSettings settings;
  if (!ReadSettings(movie, &settings, false)) throw std::runtime_error("cannot read the flow");
  std::string utf8;
  for (const char* p = settings.WindowText; *p; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c >= 0x80) utf8 += char(0xC0 | c >> 6);
    utf8 += char(c < 0x80 ? c : 0x80 | (c & 0x3F));
  }
  return utf8;
}

std::string MovieElement(const std::vector<PageFile>& files) {
  std::string list;
  for (const PageFile& f : files) {
    if (!list.empty()) list += '/';
    list += UriEscaped(f.name) + ":" + std::to_string(f.bytes.size());
  }
  return "<script id=\"qv-movie\" type=\"application/octet-stream\" data-files=\"" + list + "\">" +
         Base64(Gzip(files)) + "</script>";
}

void ReplaceOnce(std::string* page, const std::string& slot, const std::string& with) {
  const size_t at = page->find(slot);
  if (at == std::string::npos) throw std::runtime_error("the page player has no " + slot);
  page->replace(at, slot.size(), with);
}

}  // namespace

int RunHtml(int argc, char** argv) {
  CommandArgs args = ParseCommandArgs(argc, argv, {"-o", "--player"}, {"--viewer"});
  const bool viewer = args.has("--viewer");
  if (!args.has("-o") || args.plain.size() != (viewer ? 0u : 1u)) {
    throw std::runtime_error("usage: qvm html MOVIE -o PAGE.html | qvm html --viewer -o PAGE.html");
  }
  const std::string player = args.value("--player", DefaultPlayer());
  std::string page;
  try {
    page = ReadWhole(player);
  } catch (const std::runtime_error&) {
    throw std::runtime_error("cannot read the page player " + player +
                             " (build it with the web preset, or name it with --player)");
  }
  std::string title = "QV Movie Viewer", movie;
  size_t movie_bytes = 0;
  if (!viewer) {
    const MovieFile file = OpenMovieFile(args.plain[0]);
    RequirePlayable(file);
    const std::vector<PageFile> files = MovieFiles(file);
    for (const PageFile& f : files) movie_bytes += f.bytes.size();
    title = TitleOf(file.movie);
    movie = MovieElement(files);
  }
  ReplaceOnce(&page, "@QV_TITLE@", Escaped(title));
  ReplaceOnce(&page, "<!--@QV_MOVIE@-->", movie);
  const std::string out = args.value("-o");
  WriteOutput(out, page);
  if (viewer) {
    std::printf("%s: viewer page, %zu bytes\n", out.c_str(), page.size());
  } else {
    std::printf("%s: %zu bytes, holding %zu bytes of movie\n", out.c_str(), page.size(), movie_bytes);
  }
  return 0;
}
