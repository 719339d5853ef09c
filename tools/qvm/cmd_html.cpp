// qvm html: one page that plays a movie in any browser, with nothing beside
// it. The page player (the web build's qv_page.html) is filled with the
// movie's title and its files, gzip-compressed for the browser to inflate and
// base64-encoded into the page. Without a movie (--viewer) the page asks for
// one to be opened or dropped onto it.
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "movie/frame_index.h"
#include "movie/settings.h"
#include "qvm/cli_args.h"
#include "qvm/commands.h"
#include "qvm/course_package.h"
#include "qvm/movie_file.h"
#include "qvm/movie_writer.h"
#include "qvm/output_file.h"
#include "qvm/png_io.h"
#include "qvm/zip_file.h"

namespace {

// A file a build makes, which the page takes in; the message says how to get it.
std::string ReadBuilt(const std::string& path, const std::string& what, const char* preset, const char* option) {
  try {
    return ReadWhole(path);
  } catch (const std::runtime_error&) {
    throw std::runtime_error("cannot read " + what + " " + path + " (build it with the " + preset +
                             " preset, or name it with " + option + ")");
  }
}

struct PageFile {
  std::string name;
  std::string bytes;
};

// A file the other builds make, beside qvm's own build folder ("web/qv_page.html").
std::string BesideBuild(const std::string& name) {
  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return "build/" + name;
  self[n] = '\0';
  return Folder(Folder(self)) + "/" + name;
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

// One gzip stream of the bytes.
std::string Gzip(const char* bytes, size_t size) {
  z_stream z = {};
  if (deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("cannot start the compression");
  }
  std::string out;
  std::vector<unsigned char> buf(1 << 20);
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes));
  z.avail_in = uInt(size);
  int status;
  do {
    z.next_out = buf.data();
    z.avail_out = uInt(buf.size());
    status = deflate(&z, Z_FINISH);
    out.append(reinterpret_cast<char*>(buf.data()), buf.size() - z.avail_out);
  } while (status != Z_STREAM_END && status != Z_STREAM_ERROR);
  deflateEnd(&z);
  if (status != Z_STREAM_END) throw std::runtime_error("cannot compress");
  return out;
}

std::string Gzip(const std::string& bytes) { return Gzip(bytes.data(), bytes.size()); }

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

// The page's movie: its files' bytes one after another, cut into pieces of
// kPieceBytes, each its own gzip stream, so the browser can inflate them side
// by side. Each piece is an element of its own followed by the call that
// hands it to the page's loader, so the first pieces inflate while the page
// reads the rest. data-pieces gives each piece's inflated size. A page of one
// stream and no data-pieces (as the author page writes, and as a page player
// made before pieces reads) is one piece.
constexpr size_t kPieceBytes = 4 << 20;

std::string MovieElement(const std::vector<PageFile>& files, bool in_pieces) {
  std::string list, all;
  for (const PageFile& f : files) {
    if (!list.empty()) list += '/';
    list += UriEscaped(f.name) + ":" + std::to_string(f.bytes.size());
    all += f.bytes;
  }
  const std::string head = "<script id=\"qv-movie\" type=\"application/octet-stream\" data-files=\"" + list + "\"";
  if (!in_pieces) return head + ">" + Base64(Gzip(all)) + "</script>";
  std::string sizes, elements;
  for (size_t at = 0; at < all.size() || at == 0; at += kPieceBytes) {
    const size_t size = std::min(kPieceBytes, all.size() - at);
    if (at) sizes += ',';
    sizes += std::to_string(size);
    elements += (at ? std::string("<script type=\"application/octet-stream\">") : "") +
                Base64(Gzip(all.data() + at, size)) + "</script><script>QvLoad.take()</script>\n";
  }
  return head + " data-pieces=\"" + sizes + "\">" + elements;
}

// The page's poster: frame 0 as the player composes it, shrunk by a whole
// factor to at most kPosterSide pixels a side (each pixel the mean of its
// block), as a PNG of a few kilobytes the page shows, enlarged, at once.
constexpr int32_t kPosterSide = 320;

std::string PosterElement(const MovieFile& file) {
  Picture frame;
  try {
    frame = FramePicture(file, 0, false);
  } catch (const std::runtime_error&) {
    return "";  // a movie whose first frame cannot be shown shows no poster
  }
  const int32_t side = std::max(frame.width, frame.height);
  const int32_t k = (side + kPosterSide - 1) / kPosterSide;
  Picture small = MakePicture((frame.width + k - 1) / k, (frame.height + k - 1) / k);
  for (int32_t y = 0; y < small.height; ++y) {
    for (int32_t x = 0; x < small.width; ++x) {
      uint32_t sum[3] = {0, 0, 0}, n = 0;
      for (int32_t dy = 0; dy < k && y * k + dy < frame.height; ++dy) {
        const uint8_t* row = frame.row(y * k + dy);
        for (int32_t dx = 0; dx < k && x * k + dx < frame.width; ++dx, ++n) {
          for (int c = 0; c < 3; ++c) sum[c] += row[(x * k + dx) * 3 + c];
        }
      }
      for (int c = 0; c < 3; ++c) small.row(y)[x * 3 + c] = uint8_t((sum[c] + n / 2) / n);
    }
  }
  char path[] = "/tmp/qvm-poster-XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) return "";
  close(fd);
  std::string error, png;
  const bool written = WritePng(path, small, &error);
  try {
    if (written) png = ReadWhole(path);
  } catch (const std::runtime_error&) {
    png.clear();
  }
  std::remove(path);
  if (png.empty()) return "";
  return "<img id=\"qv-poster\" alt=\"\" width=\"" + std::to_string(frame.width) + "\" height=\"" +
         std::to_string(frame.height) + "\" src=\"data:image/png;base64," + Base64(png) + "\">";
}

// The last frame the player indexes, which the course's page waits for.
int32_t LastFrameOf(const MovieSource& movie) {
  auto index = std::make_unique<FrameIndex>();
  std::vector<uint8_t> inactive(size_t(kMaxStackWid) * 3 * kMaxRows);
  const IndexResult indexed = BuildFrameIndex(movie, index.get(), inactive.data());
  if (indexed.fault != IndexFault::kNone) throw std::runtime_error("cannot index the movie's frames");
  return index->LastFrame;
}

void ReplaceOnce(std::string* page, const std::string& slot, const std::string& with) {
  const size_t at = page->find(slot);
  if (at == std::string::npos) throw std::runtime_error("the page player has no " + slot);
  page->replace(at, slot.size(), with);
}

// The author page: its template holds the page player and the author's
// code; the Windows player goes in for the hand-outs it writes.
int WriteAuthorPage(const CommandArgs& args) {
  if (!args.has("-o") || !args.plain.empty()) throw std::runtime_error("usage: qvm html --author -o PAGE.html");
  const std::string player = args.value("--player", BesideBuild("web/qv_author.html"));
  const std::string exe_path = args.value("--exe", BesideBuild("win32/QV_MoviePlayer.exe"));
  std::string page = ReadBuilt(player, "the author page", "web", "--player");
  const std::string exe = ReadBuilt(exe_path, "the Windows player", "win32", "--exe");
  ReplaceOnce(&page, "@QV_EXE@", Base64(Gzip(exe)));
  const std::string out = args.value("-o");
  WriteOutput(out, page);
  std::printf("%s: author page, %zu bytes, holding a %zu-byte player\n", out.c_str(), page.size(), exe.size());
  return 0;
}

}  // namespace

int RunHtml(int argc, char** argv) {
  CommandArgs args = ParseCommandArgs(argc, argv, {"-o", "--player", "--exe"}, {"--viewer", "--scorm", "--author"});
  if (args.has("--author")) return WriteAuthorPage(args);
  const bool viewer = args.has("--viewer"), course = args.has("--scorm");
  if (!args.has("-o") || args.plain.size() != (viewer ? 0u : 1u) || (viewer && course)) {
    throw std::runtime_error("usage: qvm html MOVIE -o PAGE.html | qvm html --viewer -o PAGE.html | "
                             "qvm html MOVIE --scorm -o COURSE.zip");
  }
  const std::string player = args.value("--player", BesideBuild("web/qv_page.html"));
  std::string page = ReadBuilt(player, "the page player", "web", "--player");
  std::string title = "QV Movie Viewer", movie, poster;
  size_t movie_bytes = 0;
  int32_t last_frame = 0;
  if (!viewer) {
    const MovieFile file = OpenMovieFile(args.plain[0]);
    RequirePlayable(file);
    const std::vector<PageFile> files = MovieFiles(file);
    for (const PageFile& f : files) movie_bytes += f.bytes.size();
    title = TitleOf(file.movie);
    const bool pieces = page.find("data-pieces") != std::string::npos;
    movie = MovieElement(files, pieces);
    poster = PosterElement(file);
    if (course) last_frame = LastFrameOf(file.movie);
  }
  ReplaceOnce(&page, "@QV_TITLE@", Escaped(title));
  ReplaceOnce(&page, "<!--@QV_MOVIE@-->", movie);
  // A page player made before posters has no place for one.
  if (page.find("<!--@QV_POSTER@-->") != std::string::npos) ReplaceOnce(&page, "<!--@QV_POSTER@-->", poster);
  const std::string out = args.value("-o");
  if (course) {
    const int64_t bytes = ZipEntries({{"imsmanifest.xml", CourseManifest(title)},
                                      {kCoursePageName, CoursePage(page, last_frame)}}, out);
    std::printf("%s: SCORM 1.2 package, %lld bytes, its page holding %zu bytes of movie\n", out.c_str(),
                static_cast<long long>(bytes), movie_bytes);
    return 0;
  }
  WriteOutput(out, page);
  if (viewer) {
    std::printf("%s: viewer page, %zu bytes\n", out.c_str(), page.size());
  } else {
    std::printf("%s: %zu bytes, holding %zu bytes of movie\n", out.c_str(), page.size(), movie_bytes);
  }
  return 0;
}
