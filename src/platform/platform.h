// Every operating-system operation the player uses, as plain free functions.
// Three implementations are chosen at link time: src/platform/win32/ (the real
// one), src/platform/web/ (the page) and tests/support/fake_platform.cpp
// (records calls, returns scripted answers).
// No window-system type or value appears here: the shells map the kinds below.
#pragma once
#include <cstdint>

namespace platform {

// A plain box with an OK button, or the system-modal one with the error icon.
enum Box { kBoxOk, kBoxSystemModalError };
enum Cursor { kCursorArrow, kCursorWait };
// The keys the player and the splash answer; every other key is kKeyOther.
enum Key { kKeyEscape, kKeySpace, kKeyReturn, kKeyF1, kKeyF2, kKeyLeft, kKeyRight, kKeyPageUp,
           kKeyPageDown, kKeyHome, kKeyOther };

// --- process -------------------------------------------------------------
// Writes text to the standard output at once (the console lines tests follow).
void write_output(const char* text);
void message_box(const char* text, const char* caption, Box box);
[[noreturn]] void exit_process(int code);
// Milliseconds from a fixed moment, never going back; fractions count.
double now_ms();
// Calls routine(arg, value) once, ms milliseconds from now (at once for 0),
// and returns at once. The win32 build waits, and runs the routine, on a
// thread of the system's pool with the finest timer the system has, so the
// routine may block (a message box); a page waits in its event loop. The
// routine must not throw.
void call_after_ms(int32_t ms, void (*routine)(void* arg, int32_t value), void* arg,
                   int32_t value);

// --- files and directories ------------------------------------------------
// Full path of the running executable, at most size - 1 characters; returns the length.
int module_file_name(char* buf, int size);
int current_directory(char* buf, int size);
// Directory search by wildcard in the current directory. find_first returns null
// when nothing matches; each call writes the name found into name.
void* find_first(const char* pattern, char* name, int size);
bool find_next(void* search, char* name, int size);
void find_close(void* search);
// Maps a whole file for reading; null when it cannot (a stack too large for
// the address space, say), and the caller then reads row by row.
const uint8_t* map_file(const char* path, int64_t size);
void unmap_file(const uint8_t* view, int64_t size);

// The open-file dialog for a movie file: the files matching pattern ("*.QVM")
// in directory, the pattern preset as the file name. Writes the chosen path
// into file (size bytes); a cancelled dialog leaves the pattern there.
void choose_movie_file(const char* pattern, const char* directory, char* file, int size);

// --- screen ----------------------------------------------------------------
struct Rect { int32_t left, top, right, bottom; };
struct Point { int32_t x, y; };
void screen_size(int32_t* width, int32_t* height);
Rect work_area();

// --- canvases ----------------------------------------------------------------
// A 3000 x 2400 picture, 24 bits per pixel, top-down, rows of 9000 bytes
// (blue, green, red), all black when made. The core writes `pixels` directly;
// `handle` is the shell's own (a drawing context with the bitmap selected).
constexpr int32_t kCanvasWid = 3000;
constexpr int32_t kCanvasHgt = 2400;
struct Canvas {
  uint8_t* pixels = nullptr;
  void* handle = nullptr;
};
Canvas create_canvas();
// Copies w x h pixels at (x, y) of src to the same place in dst.
void copy_canvas(Canvas dst, Canvas src, int32_t x, int32_t y, int32_t w, int32_t h);
// The frame banner: white text on red, in the canvas's default font. Drawing
// returns the height of the text, in rows from y.
int32_t banner_text_width(Canvas canvas, const char* text);
int32_t draw_banner_text(Canvas canvas, int32_t x, int32_t y, const char* text);

// --- the player window --------------------------------------------------------
// Copies w x h pixels from (0, 0) of src to (x, y) of the player window.
// changed_rows holds a flag for each of the h rows, non-zero where the row may
// differ from the one last drawn there; null: every row. A platform may copy
// more rows than those, and must copy all of them after the window lost what
// it showed.
void draw_to_window(Canvas src, int32_t x, int32_t y, int32_t w, int32_t h,
                    const uint8_t* changed_rows);
// The player window's own picture at 32 bits a pixel (blue, green, red, 0),
// which the core writes a scaled frame into: it keeps what was written until
// it is written again, and is at least as large as the screen.
struct WindowPixels {
  uint8_t* pixels = nullptr;
  int32_t stride = 0;  // bytes from one row to the next
  int32_t wid = 0, hgt = 0;
};
WindowPixels window_pixels();
// Copies w x h pixels from (0, 0) of the window's picture to (x, y) of the
// window; changed_rows as for draw_to_window.
void draw_window_pixels(int32_t x, int32_t y, int32_t w, int32_t h, const uint8_t* changed_rows);
// Resizes the player window, keeping its place; it is raised and activated.
void resize_player_window(int32_t w, int32_t h);
bool player_window_is_foreground();
// Asks the player window, from any thread, to show frame n.
void post_show_frame(int32_t n);
void set_cursor(Cursor cursor);
void minimize_player_window();

// --- splash painting (the splash thread, during one paint of its window) ------
// Text cells have their top-left corner at (x, y) and a font of the given cell
// height in pixels, heavy weight. Colours are 0x00BBGGRR.
constexpr int32_t kFontQualityDefault = 0;
constexpr int32_t kFontQualityProof = 2;
// Fills the rectangle (0, 0) to (w, h) of the splash window.
void splash_fill(int32_t w, int32_t h, uint32_t colour);
int32_t splash_text_width(int32_t font_hgt, int32_t quality, const char* text);
// An opaque text fills its cell with the drawing context's default
// background colour (white); otherwise the text is drawn over what is there.
void splash_draw_text(int32_t x, int32_t y, int32_t font_hgt, int32_t quality, uint32_t colour,
                      bool opaque, const char* text);

// --- start-up ------------------------------------------------------------------
// Registers the class, creates the hidden popup window, w x h screen pixels at
// (x, y), with the outline of a WindowRoundingStyle, and takes the drawing
// context every frame is drawn through. Ends the process on failure.
void create_player_window(const char* title, int32_t x, int32_t y, int32_t w, int32_t h,
                          int32_t rounding_style);
// Shows the window and brings it to the foreground.
void show_player_window();
// The Windows program's message loop (src/app/main.cpp), until it ends; the
// window's messages go to the handlers of the process's player. Returns the
// exit code. A page's loop is the browser's own.
int run_player();

// Puts up the splash window, which the shell paints with PaintSplash
// (src/splash/splash.h) and which takes no input yet; returns once it is on
// screen, so the player, shown later, comes up over it. A splash that cannot
// make its window ends the process.
void start_splash();
// The frame index is built: the splash paints its invitation and from now
// answers the viewer (OnSplashKey), input made while it waited included. When
// the viewer lets it go, the shell hides it and calls BeginPlaying
// (src/player/start_up.h).
void invite_splash();

}  // namespace platform
