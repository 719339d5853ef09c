// The real platform, part one: the process, files and the open-file dialog.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"
#include "platform/win32/system_values.h"

namespace platform {

void write_output(const char* text) {
  std::fputs(text, stdout);
  std::fflush(stdout);
}

void message_box(const char* text, const char* caption, Box box) {
  MessageBoxA(nullptr, text, caption,
              box == kBoxSystemModalError ? MB_SYSTEMMODAL | MB_ICONERROR : MB_OK);
}

void exit_process(int code) {
  std::fflush(stdout);
  std::exit(code);
}

int module_file_name(char* buf, int size) {
  DWORD n = GetModuleFileNameA(nullptr, buf, static_cast<DWORD>(size));
  if (size > 0) buf[size - 1] = '\0';
  return static_cast<int>(n);
}

int current_directory(char* buf, int size) {
  DWORD n = GetCurrentDirectoryA(static_cast<DWORD>(size), buf);
  if (n >= static_cast<DWORD>(size)) buf[0] = '\0';
  return static_cast<int>(n);
}

namespace {
struct Search {
  HANDLE handle;
  WIN32_FIND_DATAA data;
};

void CopyName(const WIN32_FIND_DATAA& data, char* name, int size) {
  lstrcpynA(name, data.cFileName, size);
}
}  // namespace

void* find_first(const char* pattern, char* name, int size) {
  auto* s = new Search;
  s->handle = FindFirstFileA(pattern, &s->data);
  if (s->handle == INVALID_HANDLE_VALUE) {
    delete s;
    return nullptr;
  }
  CopyName(s->data, name, size);
  return s;
}

bool find_next(void* search, char* name, int size) {
  auto* s = static_cast<Search*>(search);
  if (!FindNextFileA(s->handle, &s->data)) return false;
  CopyName(s->data, name, size);
  return true;
}

void find_close(void* search) {
  auto* s = static_cast<Search*>(search);
  FindClose(s->handle);
  delete s;
}

const uint8_t* map_file(const char* path, int64_t size) {
  if (size <= 0) return nullptr;
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  CloseHandle(file);
  if (!mapping) return nullptr;
  // The view keeps the mapping alive; a stack larger than the free address
  // space fails here, and the caller reads row by row instead.
  void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, static_cast<SIZE_T>(size));
  CloseHandle(mapping);
  return static_cast<const uint8_t*>(view);
}

void unmap_file(const uint8_t* view, int64_t) {
  if (view) UnmapViewOfFile(view);
}

void choose_movie_file(const char* pattern, const char* directory, char* file, int size) {
  OPENFILENAMEA record = win32::MovieDialog(pattern, directory, file, size);
  GetOpenFileNameA(&record);
}

void screen_size(int32_t* width, int32_t* height) {
  *width = GetSystemMetrics(SM_CXSCREEN);
  *height = GetSystemMetrics(SM_CYSCREEN);
}

Rect work_area() {
  RECT r = {};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &r, 0);
  return {r.left, r.top, r.right, r.bottom};
}

}  // namespace platform
