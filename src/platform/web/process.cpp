// The web platform, part one: the process and time. A page has one thread and
// must never block it, so "later" always means a later turn of the browser's
// event loop, and ending the process means ending the movie in the page.
#include <cstdio>
#include <map>
#include <utility>

#include <emscripten/emscripten.h>

#include "platform/platform.h"
#include "platform/web/web_shell.h"

// Each call of the page is written once, here beside its C++ caller: the
// page's boot runtime (page/boot.js) carries it out. Texts are UTF-8 in the
// module's memory; sizes are device pixels.

// Ends the movie and unwinds every C++ caller up to the page's entry, which
// knows the exception by name. A tag is written without a line end; it is the
// movie's last line.
EM_JS(void, qv_js_exit, (int code), {
  var stdout = FS.getStream(1);
  if (stdout && stdout.tty) stdout.tty.ops.flush(stdout.tty);
  if (Module.qvOutputLine) out(Module.qvOutputLine);
  Module.qvOutputLine = "";
  Module.qvPage.exit(code);
  throw "unwind";
});
EM_JS(void, qv_js_message_box, (const char* text, const char* caption, int failure), {
  Module.qvPage.messageBox(UTF8ToString(text), UTF8ToString(caption), failure);
});
// Whole lines go to the console; a line not yet ended waits for the rest.
EM_JS(void, qv_js_write_output, (const char* text), {
  var lines = ((Module.qvOutputLine || "") + UTF8ToString(text)).split("\n");
  Module.qvOutputLine = lines.pop();
  lines.forEach(function(line) { out(line); });
});
// A later turn of the event loop: qv_run_timer(id) after ms.
EM_JS(void, qv_js_set_timer, (int32_t id, int32_t ms), { Module.qvPage.after(ms, "qv_run_timer", id); });
EM_JS(double, qv_js_now_ms, (), { return performance.now(); });
// The page's area for the movie: the browser window less the control strip.
EM_JS(void, qv_js_screen, (int32_t* w, int32_t* h), {
  var s = Module.qvPage.screen();
  HEAP32[w >> 2] = s.width;
  HEAP32[h >> 2] = s.height;
});

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
  __builtin_unreachable();  // the page's exit throws to unwind every caller
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
