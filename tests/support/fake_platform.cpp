#include "support/fake_platform.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/pixel_rows.h"

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace fake {

State& state() {
  static State s;
  return s;
}

std::mutex g_mutex;
std::condition_variable g_posted;
std::deque<int32_t> g_queue;
std::vector<std::thread> g_running;

void Reset() {
  JoinThreads();
  state() = State();
  g_queue.clear();
}

void JoinThreads() {
  std::vector<std::thread> running;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    running.swap(g_running);
  }
  for (std::thread& t : running) t.join();
}

int RunTimers() {
  int ran = 0;
  while (!state().timers.empty()) {
    auto first = state().timers.begin();
    for (auto t = first; t != state().timers.end(); ++t) {
      if (t->due_ms < first->due_ms) first = t;
    }
    const State::Timer timer = *first;
    state().timers.erase(first);
    if (timer.due_ms > state().now_ms) state().now_ms = timer.due_ms;
    timer.routine(timer.arg, timer.value);
    ++ran;
  }
  return ran;
}

bool TakePost(int32_t* frame, int timeout_ms) {
  std::unique_lock<std::mutex> lock(g_mutex);
  if (!g_posted.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                         [] { return !g_queue.empty(); })) {
    return false;
  }
  *frame = g_queue.front();
  g_queue.pop_front();
  return true;
}

namespace {
struct Search {
  size_t next = 0;
};

void CopyOut(const std::string& text, char* buf, int size) {
  std::strncpy(buf, text.c_str(), size - 1);
  buf[size - 1] = '\0';
}
}  // namespace

}  // namespace fake

namespace platform {

using fake::state;

void write_output(const char* text) {
  std::fputs(text, stdout);
  std::fflush(stdout);
}

void message_box(const char* text, const char* caption, Box style) {
  std::lock_guard<std::mutex> lock(fake::g_mutex);  // looping notices come from threads
  state().boxes.push_back({text, caption, style});
}

void exit_process(int code) { throw fake::Exited{code}; }

double now_ms() {
  if (!state().real_threads) return state().now_ms;
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

void call_after_ms(int32_t ms, void (*routine)(void*, int32_t), void* arg, int32_t value) {
  if (state().real_threads) {
    std::lock_guard<std::mutex> lock(fake::g_mutex);
    fake::g_running.emplace_back([=] {
      std::this_thread::sleep_for(std::chrono::milliseconds(ms));
      routine(arg, value);
    });
    return;
  }
  state().timers.push_back({ms, state().now_ms + ms, routine, arg, value});
}

int module_file_name(char* buf, int size) {
  fake::CopyOut(state().module_path, buf, size);
  return static_cast<int>(std::strlen(buf));
}

int current_directory(char* buf, int size) {
  fake::CopyOut(state().current_dir, buf, size);
  return static_cast<int>(std::strlen(buf));
}

void* find_first(const char* pattern, char* name, int size) {
  state().searches.push_back(pattern);
  if (state().dir_files.empty()) return nullptr;
  auto* search = new fake::Search;
  fake::CopyOut(state().dir_files[search->next++], name, size);
  return search;
}

bool find_next(void* search, char* name, int size) {
  auto* s = static_cast<fake::Search*>(search);
  if (s->next >= state().dir_files.size()) return false;
  fake::CopyOut(state().dir_files[s->next++], name, size);
  return true;
}

void find_close(void* search) { delete static_cast<fake::Search*>(search); }

// A real mapping where the system has one, so benchmarks measure it; a copy
// of the file elsewhere.
const uint8_t* map_file(const char* path, int64_t size) {
  if (state().mapping_fails || size <= 0) return nullptr;
  ++state().maps;
#if defined(_WIN32)
  std::FILE* f = std::fopen(path, "rb");
  if (!f) return nullptr;
  auto* copy = new uint8_t[size_t(size)];
  size_t got = std::fread(copy, 1, size_t(size), f);
  std::fclose(f);
  if (got != size_t(size)) {
    delete[] copy;
    return nullptr;
  }
  return copy;
#else
  int fd = open(path, O_RDONLY);
  if (fd < 0) return nullptr;
  void* view = mmap(nullptr, size_t(size), PROT_READ, MAP_PRIVATE, fd, 0);
  close(fd);
  return view == MAP_FAILED ? nullptr : static_cast<const uint8_t*>(view);
#endif
}

void unmap_file(const uint8_t* view, int64_t size) {
#if defined(_WIN32)
  (void)size;
  delete[] view;
#else
  munmap(const_cast<uint8_t*>(view), size_t(size));
#endif
}

// As in the real dialog, the pattern stays in the file name unless one is picked.
void choose_movie_file(const char* pattern, const char* directory, char* file, int size) {
  state().dialogs.push_back({pattern, directory, size});
  fake::CopyOut(state().dialog_answer.empty() ? pattern : state().dialog_answer, file, size);
}

void screen_size(int32_t* width, int32_t* height) {
  *width = state().screen_wid;
  *height = state().screen_hgt;
}

Rect work_area() { return state().work; }

Canvas create_canvas() {
  Canvas c;
  c.pixels = new uint8_t[size_t(kCanvasWid) * kCanvasHgt * 3]();
  c.handle = c.pixels;
  return c;
}

void copy_canvas(Canvas dst, Canvas src, int32_t x, int32_t y, int32_t w, int32_t h) {
  CopyCanvasBlock(dst.pixels, src.pixels, x, y, w, h);
}

int32_t banner_text_width(Canvas, const char* text) {
  return static_cast<int32_t>(std::strlen(text)) * fake::kBannerCharWid;
}

// Paints the text's box red, so a banner left behind shows in the pictures.
int32_t draw_banner_text(Canvas canvas, int32_t x, int32_t y, const char* text) {
  state().banners.push_back({text, x, y});
  const int32_t x1 = std::min(x + banner_text_width(canvas, text), kCanvasWid);
  for (int32_t row = y; row < std::min(y + fake::kBannerHgt, kCanvasHgt); ++row) {
    for (int32_t col = std::max(x, 0); col < x1; ++col) {
      uint8_t* px = canvas.pixels + (size_t(row) * kCanvasWid + size_t(col)) * 3;
      px[0] = 0, px[1] = 0, px[2] = 0xFF;
    }
  }
  return fake::kBannerHgt;
}

}  // namespace platform

namespace {

// Copies the changed rows of a draw into the window the fake keeps.
int32_t KeepDrawn(const uint8_t* from, size_t stride, int32_t row_bytes, int32_t h,
                  const uint8_t* changed_rows) {
  fake::State& s = fake::state();
  if (s.window_row_bytes != row_bytes || s.window_hgt != h) {
    s.window.assign(size_t(row_bytes) * h, 0);
    s.window_row_bytes = row_bytes, s.window_hgt = h;
    changed_rows = nullptr;
  }
  int32_t rows = 0;
  for (int32_t y = 0; y < h; ++y) {
    if (changed_rows && !changed_rows[y]) continue;
    std::memcpy(s.window.data() + size_t(y) * row_bytes, from + y * stride, size_t(row_bytes));
    ++rows;
  }
  return rows;
}

}  // namespace

namespace platform {

void draw_to_window(Canvas src, int32_t x, int32_t y, int32_t w, int32_t h,
                    const uint8_t* changed_rows) {
  const int32_t rows = KeepDrawn(src.pixels, size_t(kCanvasWid) * 3, w * 3, h, changed_rows);
  state().draws.push_back({false, w, h, x, y, w, h, rows});
}

WindowPixels window_pixels() {
  static std::vector<uint8_t> bytes;
  WindowPixels out;
  out.wid = state().screen_wid;
  out.hgt = state().screen_hgt;
  out.stride = out.wid * 4;
  bytes.resize(size_t(out.stride) * out.hgt);
  out.pixels = bytes.data();
  return out;
}

void draw_window_pixels(int32_t x, int32_t y, int32_t w, int32_t h, const uint8_t* changed_rows) {
  const WindowPixels out = window_pixels();
  const int32_t rows = KeepDrawn(out.pixels, size_t(out.stride), w * 4, h, changed_rows);
  state().draws.push_back({true, w, h, x, y, w, h, rows});
}

void resize_player_window(int32_t w, int32_t h) {
  state().resizes.push_back({w, h});
  if (state().on_resize) state().on_resize();
}
bool player_window_is_foreground() { return state().player_foreground; }
void post_show_frame(int32_t n) {
  if (state().real_threads) {
    std::lock_guard<std::mutex> lock(fake::g_mutex);
    fake::g_queue.push_back(n);
    fake::g_posted.notify_one();
    return;
  }
  state().posts.push_back(n);
}
void set_cursor(Cursor cursor) { state().cursors.push_back(cursor); }
void minimize_player_window() { ++state().minimized; }

void create_player_window(const char*, int32_t x, int32_t y, int32_t w, int32_t h, int32_t) {
  state().windows.push_back("create " + std::to_string(w) + "x" + std::to_string(h) + " at " +
                            std::to_string(x) + "," + std::to_string(y));
}
void show_player_window() { state().windows.push_back("show"); }
void start_splash() { state().windows.push_back("splash"); }
void invite_splash() { state().windows.push_back("invite"); }

// --- splash painting ---------------------------------------------------------
void splash_fill(int32_t w, int32_t h, uint32_t colour) {
  state().splash.push_back({true, w, h, 0, 0, colour, true, ""});
}

int32_t splash_text_width(int32_t font_hgt, int32_t, const char* text) {
  return fake::SplashTextWid(font_hgt, text);
}

void splash_draw_text(int32_t x, int32_t y, int32_t font_hgt, int32_t quality, uint32_t colour,
                      bool opaque, const char* text) {
  state().splash.push_back({false, x, y, font_hgt, quality, colour, opaque, text});
}

}  // namespace platform
