// The platform for qvm, a console tool: the few operations the movie readers
// and the frame renderer it links call. Message boxes become lines on
// standard error; canvases are plain memory.
#include <cstdio>
#include <cstdlib>

#include "platform/pixel_rows.h"
#include "platform/platform.h"

namespace platform {

void write_output(const char* text) {
  std::fputs(text, stdout);
  std::fflush(stdout);
}

void message_box(const char* text, const char* caption, Box) {
  std::fprintf(stderr, "%s: %s\n", caption, text);
}

void exit_process(int code) {
  std::fflush(stdout);
  std::exit(code);
}

// qvm reads stacks row by row.
const uint8_t* map_file(const char*, int64_t) { return nullptr; }
void unmap_file(const uint8_t*, int64_t) {}

void copy_canvas(Canvas dst, Canvas src, int32_t x, int32_t y, int32_t w, int32_t h) {
  CopyCanvasBlock(dst.pixels, src.pixels, x, y, w, h);
}

// The movie is named on qvm's command line: the player's own search for it
// (its own file, the folder, the dialog) finds nothing here.
int module_file_name(char* buf, int size) { return size > 0 ? (buf[0] = '\0', 0) : 0; }
int current_directory(char* buf, int size) { return size > 0 ? (buf[0] = '\0', 0) : 0; }
void* find_first(const char*, char*, int) { return nullptr; }
bool find_next(void*, char*, int) { return false; }
void find_close(void*) {}
void choose_movie_file(const char* pattern, const char*, char* file, int size) {
  std::snprintf(file, size_t(size), "%s", pattern);
}

// qvm renders no banner: it has no font to draw it with.
int32_t banner_text_width(Canvas, const char*) { return 0; }
int32_t draw_banner_text(Canvas, int32_t, int32_t, const char*) { return 0; }

}  // namespace platform
