// The fake platform: every operation is recorded, answers come from a script
// the test sets up. exit_process throws fake::Exited so a test can watch the
// program end.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace fake {

// One fill or text drawn on the splash window, in drawing order.
struct SplashDraw {
  bool fill;  // a fill of (0, 0) to (x, y); otherwise a text at (x, y)
  int32_t x, y, font_hgt, quality;
  uint32_t colour;
  bool opaque;
  std::string text;
};

struct Exited {
  int code;
};

struct Box {
  std::string text, caption;
  platform::Box style;
};

struct Dialog { std::string pattern, directory; int file_size; };

struct State {
  std::string module_path = "C:\\demo\\QV_MoviePlayer.exe";
  std::string current_dir = "C:\\demo";
  std::vector<std::string> dir_files;  // what the "*.QVM" search yields, in order
  std::string dialog_answer;           // empty: the viewer cancels
  platform::Rect work = {0, 0, 1920, 1040};
  int32_t screen_wid = 1920, screen_hgt = 1080;

  bool player_foreground = true;

  struct Draw {
    bool stretched;
    int32_t src_w, src_h, x, y, w, h;
    int32_t rows = 0;  // the rows copied: those said to have changed
  };
  // What the window shows, as it keeps it: each draw copies only the rows it
  // is told have changed (all of them at a new size), so a row wrongly left
  // out shows here as it would on screen. Rows of w x 3 bytes (1:1) or
  // w x 4 (scaled, from the window's picture).
  std::vector<uint8_t> window;
  int32_t window_row_bytes = 0, window_hgt = 0;
  struct Banner {
    std::string text;
    int32_t x, y;
  };
  std::vector<Draw> draws;
  std::vector<Banner> banners;
  std::vector<std::pair<int32_t, int32_t>> resizes;
  std::vector<int32_t> posts;    // frames asked for with post_show_frame
  std::vector<SplashDraw> splash;
  // The start-up's window operations, in order: "create WxH at X,Y",
  // "show", "splash", "invite".
  std::vector<std::string> windows;

  // With real_threads, call_after_ms waits and calls on a real thread
  // (joined by JoinThreads), and posts go to a queue that TakePost reads
  // from any thread.
  bool real_threads = false;
  std::vector<platform::Cursor> cursors;  // every cursor set, in order
  int minimized = 0;

  std::vector<Box> boxes;
  std::vector<Dialog> dialogs;
  std::vector<std::string> searches;  // patterns asked for
  // The clock's calls, waiting: RunTimers runs them in the order they are
  // due, with now_ms at each one's due time. Without real threads time stands
  // still but for that.
  struct Timer {
    int32_t ms;
    double due_ms;
    void (*routine)(void*, int32_t);
    void* arg;
    int32_t value;
  };
  std::vector<Timer> timers;
  double now_ms = 0;
  bool mapping_fails = false;  // map_file answers null, as for a huge file
  int maps = 0;
  // Runs inside each resize, as the real window's activation does.
  std::function<void()> on_resize;
};

State& state();
void Reset();

void JoinThreads();
// Runs the waiting timers (and those they start) in due order; returns how many ran.
int RunTimers();
// The next posted frame, waiting up to timeout_ms; false when none came.
bool TakePost(int32_t* frame, int timeout_ms);

// Banner text is measured as 7 pixels a character.
constexpr int32_t kBannerCharWid = 7;
constexpr int32_t kBannerHgt = 13;  // rows a banner text takes

// Splash text is measured as half its font height a character.
inline int32_t SplashTextWid(int32_t font_hgt, const std::string& text) {
  return static_cast<int32_t>(text.size()) * font_hgt / 2;
}

}  // namespace fake
