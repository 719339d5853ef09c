// System values both windows' shells use for the seam's kinds: the keys the core
// answers, and the open-file dialog's record, which the core tests under Wine check.
#pragma once
#include <windows.h>
#include <commdlg.h>

#include <cstdio>

#include "platform/platform.h"

namespace win32 {

inline platform::Key KeyOf(WPARAM code) {
  static const WPARAM kCodes[] = {VK_ESCAPE, VK_SPACE, VK_RETURN, VK_F1,    VK_F2,
                                  VK_LEFT,   VK_RIGHT, VK_PRIOR,  VK_NEXT, VK_HOME};
  static_assert(sizeof kCodes / sizeof kCodes[0] == platform::kKeyOther,
                "one code for each platform::Key, in its order");
  for (int key = 0; key < platform::kKeyOther; ++key) {
    if (kCodes[key] == code) return static_cast<platform::Key>(key);
  }
  return platform::kKeyOther;
}

// The open-file dialog's record for a movie file, the file preset with the
// pattern. The filter is one entry of text only, as it has always been.
inline OPENFILENAMEA MovieDialog(const char* pattern, const char* directory, char* file, int size) {
  std::snprintf(file, size, "%s", pattern);
  OPENFILENAMEA r = {};
  r.lStructSize = OPENFILENAME_SIZE_VERSION_400A;  // 76: without the later extension fields
  r.lpstrFilter = "Zebrik Movie Files (*.QVM)\0";
  r.lpstrFile = file;
  r.nMaxFile = static_cast<DWORD>(size);
  r.lpstrInitialDir = directory;
  r.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
  r.lpstrDefExt = "QVM";
  return r;
}

}  // namespace win32
