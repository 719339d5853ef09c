// The author page's calls into the core: the movie read by the player's own
// layout reader, its frames handed to the page as pixels, the draft written
// by qvm's movie writer, bundled as qvm bundle bundles it, and the splash
// painted by the player's splash painter. The page keeps the edits (which
// picture each frame shows, its timing, the header) and hands them back to
// be written; it decides nothing about the format.
#include <emscripten/emscripten.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

#include "author/movie_draft.h"
#include "movie/movie_layout.h"
#include "movie/settings.h"
#include "qvm/build_inputs.h"
#include "qvm/bundle_bytes.h"
#include "qvm/course_package.h"
#include "qvm/movie_writer.h"
#include "qvm/row_store.h"
#include "qvm/video_timeline.h"
#include "splash/splash.h"

namespace {

MovieDraft g_draft;
std::string g_result;  // the last text or bytes handed to the page
std::vector<uint8_t> g_rgba;
// Pictures coming in: their rows are matched as qvm build matches them.
std::unique_ptr<RowStore> g_import;
std::vector<int32_t> g_import_rows;  // the previous picture's rows, by height
// A recording's pictures become frames as qvm build --video makes them.
std::unique_ptr<Timeline> g_timeline;
std::vector<int32_t> g_video_frames;  // picture and delay, frame after frame

// A picture's rows as the row store holds them; false with the reason in
// g_result.
bool ImportRows(const uint8_t* rgba, int32_t width, int32_t height, std::vector<int32_t>* rows) {
  const int32_t w = g_draft.width;
  if (width != w || height < 1 || height > kMaxRows) {
    g_result = "a picture is " + std::to_string(width) + " x " + std::to_string(height) + "; the movie's are " +
               std::to_string(w) + " pixels wide and 1 to 2400 rows high";
    return false;
  }
  std::vector<uint8_t> bgr(size_t(w) * 3);
  rows->assign(size_t(height), -1);
  g_import_rows.resize(std::max(g_import_rows.size(), size_t(height)), -1);
  try {
    for (int32_t y = 0; y < height; ++y) {
      const uint8_t* in = rgba + size_t(y) * size_t(w) * 4;
      for (int32_t x = 0; x < w; ++x, in += 4) bgr[size_t(x) * 3] = in[2], bgr[size_t(x) * 3 + 1] = in[1], bgr[size_t(x) * 3 + 2] = in[0];
      (*rows)[size_t(y)] = g_import_rows[size_t(y)] = g_import->Intern(bgr.data(), g_import_rows[size_t(y)]);
    }
  } catch (const std::exception& e) {
    g_result = e.what();
    return false;
  }
  return true;
}

const char* Hand(std::string text) {
  g_result = std::move(text);
  return g_result.c_str();
}

std::vector<std::string> SplitLines(const char* text) {
  std::vector<std::string> lines;
  std::string line;
  for (const char* p = text; *p; ++p) {
    if (*p == '\n') {
      lines.push_back(line);
      line.clear();
    } else if (*p != '\r') {
      line += *p;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

}  // namespace

extern "C" {

// kind: 0 a player with its movie appended, 1 a movie file, 2 the flow and
// stack pair. Returns "" or the fault in words.
EMSCRIPTEN_KEEPALIVE const char* qa_open(int32_t kind, const char* flow_path, const char* stack_path) {
  MovieSource movie;
  const MovieKind kinds[] = {MovieKind::kAppended, MovieKind::kMovieFile, MovieKind::kExternalPair};
  const LayoutFault fault = ReadLayout(kinds[kind < 0 || kind > 2 ? 1 : kind], flow_path, stack_path, &movie);
  if (fault != LayoutFault::kNone) return Hand(LayoutFaultText(fault, movie));
  return Hand(ReadDraft(movie, &g_draft));
}

EMSCRIPTEN_KEEPALIVE int32_t qa_width() { return g_draft.width; }
EMSCRIPTEN_KEEPALIVE int32_t qa_frame_count() { return int32_t(g_draft.frames.size()); }
EMSCRIPTEN_KEEPALIVE int32_t qa_stack_rows() { return g_draft.stack_rows(); }
EMSCRIPTEN_KEEPALIVE int32_t qa_picture_count() { return int32_t(g_draft.pictures.size()); }
EMSCRIPTEN_KEEPALIVE int32_t qa_inactive() { return g_draft.inactive; }
EMSCRIPTEN_KEEPALIVE const char* qa_header() {
  std::string text;
  for (const std::string& line : g_draft.header) text += line + "\n";
  return Hand(text);
}

// Frame n as read: its picture and its timing in six numbers (delay, click,
// left, top, right, bottom) at out.
EMSCRIPTEN_KEEPALIVE int32_t qa_frame(int32_t n, int32_t* out) {
  const DraftFrame& f = g_draft.frames[size_t(n)];
  const TimingLine& t = f.timing;
  const int32_t numbers[6] = {t.delay_ms, t.click ? 1 : 0, t.region.left, t.region.top, t.region.right, t.region.bottom};
  std::memcpy(out, numbers, sizeof numbers);
  return f.picture;
}

EMSCRIPTEN_KEEPALIVE int32_t qa_picture_rows(int32_t picture) {
  return int32_t(g_draft.pictures[size_t(picture)].size());
}

// Two pictures of the same rows look the same.
EMSCRIPTEN_KEEPALIVE int qa_same_picture(int32_t a, int32_t b) {
  return g_draft.pictures[size_t(a)] == g_draft.pictures[size_t(b)] ? 1 : 0;
}

// The picture as RGBA, for a canvas; valid until the next call.
EMSCRIPTEN_KEEPALIVE uint8_t* qa_picture_rgba(int32_t picture) {
  const std::vector<int32_t>& rows = g_draft.pictures[size_t(picture)];
  const size_t w = size_t(g_draft.width);
  g_rgba.resize(w * rows.size() * 4);
  uint8_t* out = g_rgba.data();
  for (int32_t r : rows) {
    const uint8_t* in = g_draft.row(r);
    for (size_t x = 0; x < w; ++x, in += 3, out += 4) {
      out[0] = in[2], out[1] = in[1], out[2] = in[0], out[3] = 255;
    }
  }
  return g_rgba.data();
}

// The draft as the page holds it: header text, count frames of seven numbers
// each (picture, then the timing as qa_frame gives it), and the inactive
// picture. Writes the movie file; returns its bytes' address, or 0 with the
// reason in qa_error.
EMSCRIPTEN_KEEPALIVE const char* qa_write(const char* header, int32_t count, const int32_t* frames, int32_t inactive) {
  MovieDraft& d = g_draft;
  d.header = SplitLines(header);
  d.inactive = inactive;
  d.frames.assign(size_t(count), DraftFrame());
  for (int32_t n = 0; n < count; ++n) {
    const int32_t* f = frames + 7 * n;
    DraftFrame& frame = d.frames[size_t(n)];
    frame.picture = f[0];
    frame.timing.delay_ms = f[1];
    frame.timing.click = f[2] != 0;
    frame.timing.region = {f[3], f[4], f[5], f[6]};
    if (frame.timing.click) frame.timing.delay_ms = -1;
  }
  try {
    for (size_t n = 0; n < d.header.size(); ++n) CheckHeaderLine(d.header[n], "header line " + std::to_string(n + 1) + ": ");
    g_result = DraftMovieFile(d);
  } catch (const std::exception& e) {
    g_result = e.what();
    return nullptr;
  }
  return g_result.data();
}

EMSCRIPTEN_KEEPALIVE int32_t qa_result_size() { return int32_t(g_result.size()); }
EMSCRIPTEN_KEEPALIVE const char* qa_error() { return g_result.c_str(); }

// The hand-out: the player's bytes and the movie file, as qvm bundle joins them.
EMSCRIPTEN_KEEPALIVE const char* qa_bundle(const char* player, int32_t player_size, const char* movie, int32_t movie_size) {
  try {
    g_result = BundleBytes(std::string(player, size_t(player_size)), std::string(movie, size_t(movie_size)));
  } catch (const std::exception& e) {
    g_result = e.what();
    return nullptr;
  }
  return g_result.data();
}

EMSCRIPTEN_KEEPALIVE const char* qa_course_manifest(const char* title) { return Hand(CourseManifest(title)); }
EMSCRIPTEN_KEEPALIVE const char* qa_course_page(const char* page, int32_t last_frame) {
  return Hand(CoursePage(page, last_frame));
}

// The header's settings as the player reads them: title (returned), then at
// out the title strip's height, the close area's width, the inactive
// rectangle (x, y, width, height), HelpOn, CoverTaskBarOk, ScreenFill and
// WindowRoundingStyle.
EMSCRIPTEN_KEEPALIVE const char* qa_settings(const char* header, int32_t* out) {
  PlayerSettings s;
  for (const std::string& line : SplitLines(header)) ApplyDirective(line.c_str(), &s);
  const int32_t numbers[10] = {s.TitleBarHeight, s.CloseRightEdge, s.inactive_x, s.inactive_y, s.inactive_wid,
                               s.inactive_hgt, s.HelpOn, s.CoverTaskBarOk, s.ScreenFill, s.WindowRoundingStyle};
  std::memcpy(out, numbers, sizeof numbers);
  return Hand(s.WindowText);
}

// A new movie of pictures width pixels wide; rows within tolerance of a
// stored one share it (0: only the same bytes).
EMSCRIPTEN_KEEPALIVE void qa_import_begin(int32_t width, int32_t tolerance) {
  g_draft = MovieDraft();
  g_draft.width = width;
  g_import = std::make_unique<RowStore>(width, tolerance);
  g_import_rows.clear();
}

// One picture as RGBA rows; returns its picture number, or -1 with the
// writer's reason in qa_error (a width other than the movie's, too many rows).
EMSCRIPTEN_KEEPALIVE int32_t qa_import_picture(const uint8_t* rgba, int32_t width, int32_t height) {
  std::vector<int32_t> rows;
  if (!ImportRows(rgba, width, height, &rows)) return -1;
  g_draft.pictures.push_back(rows);
  return int32_t(g_draft.pictures.size() - 1);
}

// A recording: its pictures with their times, still stretches merged into
// one frame with the sum of their delays, with qvm build --video's defaults.
EMSCRIPTEN_KEEPALIVE void qa_video_begin(int32_t width, int32_t tolerance) {
  qa_import_begin(width, tolerance);
  g_video_frames.clear();
  g_timeline = std::make_unique<Timeline>(TimelineRules(), [](const TimedFrame& frame) {
    g_draft.pictures.push_back(frame.rows);
    g_video_frames.push_back(int32_t(g_draft.pictures.size() - 1));
    g_video_frames.push_back(int32_t(frame.delay_ms));
  });
}

// 0, or -1 with the reason in qa_error.
EMSCRIPTEN_KEEPALIVE int32_t qa_video_picture(const uint8_t* rgba, int32_t width, int32_t height, double time_ms) {
  std::vector<int32_t> rows;
  if (!ImportRows(rgba, width, height, &rows)) return -1;
  try {
    g_timeline->Add(int64_t(time_ms), std::move(rows));
  } catch (const std::exception& e) {
    g_result = e.what();
    return -1;
  }
  return 0;
}

// The last picture ends at end_ms; returns the frames, each two numbers
// (picture, delay) at qa_video_frames, or -1 with the reason in qa_error.
EMSCRIPTEN_KEEPALIVE int32_t qa_video_end(double end_ms) {
  try {
    g_timeline->Finish(int64_t(end_ms));
  } catch (const std::exception& e) {
    g_result = e.what();
    return -1;
  }
  g_timeline.reset();
  return int32_t(g_video_frames.size() / 2);
}
EMSCRIPTEN_KEEPALIVE const int32_t* qa_video_frames() { return g_video_frames.data(); }

// The rows taken in become the draft's stack.
EMSCRIPTEN_KEEPALIVE int32_t qa_import_end() {
  const size_t row_bytes = g_import->row_bytes();
  g_draft.stack.resize(size_t(g_import->size()) * row_bytes);
  for (int32_t r = 0; r < g_import->size(); ++r) std::memcpy(&g_draft.stack[size_t(r) * row_bytes], g_import->row(r), row_bytes);
  const int32_t rows = g_import->size();
  g_import.reset();
  return rows;
}

// The splash of a header, painted by the player's painter through the
// page's splash operations, as the player paints it once indexed.
EMSCRIPTEN_KEEPALIVE void qa_paint_splash(const char* header) {
  const char* path = "/author-splash.txt";
  std::string flow = header;
  flow += "# -99\r\n";
  if (std::FILE* f = std::fopen(path, "wb")) {
    std::fwrite(flow.data(), 1, flow.size(), f);
    std::fclose(f);
  }
  MovieSource movie;
  movie.kind = MovieKind::kExternalPair;
  movie.flow_path = movie.stack_path = path;
  movie.FirstFlowByte = 0;
  movie.LastFlowByte = int64_t(flow.size());
  PaintSplash(movie, 2);
}

}  // extern "C"
