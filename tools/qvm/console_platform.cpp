// The platform for qvm, a console tool: message boxes become lines on standard
// error and the window system is absent.
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <chrono>

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

void sleep_ms(int32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
void start_thread(void (*routine)(void*), void* arg) { std::thread(routine, arg).detach(); }
double now_ms() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}
void call_after_ms(int32_t ms, void (*routine)(void*, int32_t), void* arg, int32_t value) {
  std::thread([=] {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    routine(arg, value);
  }).detach();
}

int module_file_name(char* buf, int size) {
  if (size > 0) buf[0] = '\0';
  return 0;
}
int current_directory(char* buf, int size) {
  if (size > 0) buf[0] = '\0';
  return 0;
}
void* find_first(const char*, char*, int) { return nullptr; }
bool find_next(void*, char*, int) { return false; }
void find_close(void*) {}
void choose_movie_file(const char* pattern, const char*, char* file, int size) {
  std::snprintf(file, size, "%s", pattern);  // no dialog: as if cancelled
}
// qvm reads stacks row by row.
const uint8_t* map_file(const char*, int64_t) { return nullptr; }
void unmap_file(const uint8_t*, int64_t) {}
void screen_size(int32_t* width, int32_t* height) { *width = 1024, *height = 768; }
Rect work_area() { return {0, 0, 1024, 768}; }

}  // namespace platform
