#include "support/fake_platform.h"

#include <cstring>

namespace fake {

State& state() {
  static State s;
  return s;
}

void Reset() { state() = State(); }

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

void message_box(const char* text, const char* caption, unsigned style) {
  state().boxes.push_back({text, caption, style});
}

void exit_process(int code) { throw fake::Exited{code}; }

void sleep_ms(int32_t ms) { state().sleeps.push_back(ms); }

void start_thread(void (*routine)()) { state().threads.push_back(routine); }

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

void open_file_dialog(OpenFileRequest* r) {
  fake::Dialog d;
  d.struct_size = r->struct_size;
  d.filter_index = r->filter_index;
  d.file_size = r->file_size;
  d.flags = r->flags;
  const char* end = r->filter;
  while (end[0] || end[1]) ++end;
  d.filter.assign(r->filter, end + 2);
  d.preset_file = r->file;
  d.initial_dir = r->initial_dir;
  d.default_ext = r->default_ext;
  state().dialogs.push_back(d);
  if (!state().dialog_answer.empty()) fake::CopyOut(state().dialog_answer, r->file, r->file_size);
}

void screen_size(int32_t* width, int32_t* height) {
  *width = state().screen_wid;
  *height = state().screen_hgt;
}

Rect work_area() { return state().work; }

}  // namespace platform
