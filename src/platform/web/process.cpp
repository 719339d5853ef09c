// The web platform, part one: the process and time. A page has one thread and
// must never block it, so "later" always means a later turn of the browser's
// event loop, and ending the process means ending the movie in the page.
#include <cstdio>
#include <map>
#include <utility>

#include "platform/platform.h"
#include "platform/web/bridge.h"
#include "platform/web/web_shell.h"

namespace {

struct Timer {
  void (*routine)(void*, int32_t);
  void* arg;
  int32_t value;
};

std::map<int32_t, Timer> g_timers;  // by the id the page's timer hands back
int32_t g_next_timer = 1;

}  // namespace

namespace platform {

// Straight to the page's console, a line at a time: the C library's way
// there hands the text over a character at a time.
void write_output(const char* text) { qv_js_write_output(text); }

// kBoxOk notices (the looping state) and failures alike: the page shows the
// box without blocking; a failure's box stays on the end screen.
void message_box(const char* text, const char* caption, Box box) {
  qv_js_message_box(text, caption, box == kBoxSystemModalError ? 1 : 0);
}

void exit_process(int code) {
  std::fflush(stdout);
  qv_js_exit(code);
}

// The page's setTimeout, or for 0 its next turn; the routine runs on the one
// thread, between the page's events.
void call_after_ms(int32_t ms, void (*routine)(void*, int32_t), void* arg, int32_t value) {
  const int32_t id = g_next_timer++;
  g_timers[id] = {routine, arg, value};
  qv_js_set_timer(id, ms < 0 ? 0 : ms);
}

double now_ms() { return qv_js_now_ms(); }

void screen_size(int32_t* width, int32_t* height) { qv_js_screen(width, height); }

// The browser window is the whole screen; nothing in it is a task bar.
Rect work_area() {
  int32_t w, h;
  qv_js_screen(&w, &h);
  return {0, 0, w, h};
}

}  // namespace platform

namespace web {

void RunTimer(int32_t id) {
  auto it = g_timers.find(id);
  if (it == g_timers.end()) return;
  const Timer t = it->second;
  g_timers.erase(it);
  t.routine(t.arg, t.value);
}

}  // namespace web
