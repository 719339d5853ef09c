#include "support/movie_maker.h"

#include <unistd.h>
#include <sys/stat.h>

#include <atomic>
#include <cstdlib>
#include <random>
#include <string>

#if defined(_WIN32)
#include <direct.h>
#define mkdir_one(p) _mkdir(p)
#else
#define mkdir_one(p) mkdir(p, 0755)
#endif

std::string TempDir(const std::string& tag) {
  static std::atomic<int> counter{0};
  const char* base = std::getenv("TMPDIR");
#if defined(_WIN32)
  if (!base) base = std::getenv("TEMP");
#endif
  std::string root = base ? base : "/tmp";
  // Process ids repeat (under Wine they are small and reused at once), so a
  // directory that already exists is never taken: it may hold an earlier run's files.
  static const unsigned salt = std::random_device{}();
  for (;;) {
    std::string dir = root + "/qvtest-" + std::to_string(getpid()) + "-" + std::to_string(salt) +
                      "-" + tag + "-" + std::to_string(counter++);
    if (mkdir_one(dir.c_str()) == 0) return dir;
  }
}

InDir::InDir(const std::string& dir) {
  char buf[4096];
  old_ = getcwd(buf, sizeof buf) ? buf : ".";
  if (chdir(dir.c_str()) != 0) std::abort();
}

InDir::~InDir() {
  if (chdir(old_.c_str()) != 0) std::abort();
}

MoviePlan SmallMovie(int32_t frames, int32_t wid, int32_t hgt) {
  MoviePlan plan;
  for (int32_t n = 0; n < frames; ++n) {
    FramePlan f;
    f.picture = MakePicture(wid, hgt, 0x102030);
    for (int32_t y = 0; y < hgt; ++y) {
      if ((y + n) % 5 != 0) continue;
      uint8_t* row = f.picture.row(y);
      for (int32_t x = 0; x < wid; ++x) {
        row[3 * x] = uint8_t(n * 7 + x);
        row[3 * x + 1] = uint8_t(y);
        row[3 * x + 2] = uint8_t(200 - n);
      }
    }
    f.timing.delay_ms = 100;
    plan.frames.push_back(f);
  }
  return plan;
}
