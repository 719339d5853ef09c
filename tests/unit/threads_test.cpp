// Playback with real clock threads: the main thread shows frames and takes
// keys while clocks sleep, read the shared state and post the next frame. Run
// under ThreadSanitizer too, where any unsynchronised access is a failure.
#include <gtest/gtest.h>

#include <functional>

#include "player/input.h"
#include "player/show_frame.h"
#include "support/fake_platform.h"
#include "support/movie_maker.h"
#include "support/player_fixture.h"

namespace {

class Threads : public ::testing::Test {
 protected:
  void SetUp() override {
    fake::Reset();
    fake::state().real_threads = true;
    dir_ = TempDir("threads");
  }
  void TearDown() override { fake::Reset(); }
  std::string dir_;
};

// Runs the main thread's side until no frame is asked for within idle_ms.
std::vector<int32_t> PlayUntilIdle(Player& p, int idle_ms,
                                   std::function<void(Player&, int32_t)> between = nullptr) {
  std::vector<int32_t> asked;
  int32_t n;
  while (fake::TakePost(&n, idle_ms)) {
    asked.push_back(n);
    Console([&] {
      ShowFrame(p, n);
      if (between) between(p, n);
    });
  }
  return asked;
}

TEST_F(Threads, ClocksChainTheMovieToItsEnd) {
  MoviePlan plan = SmallMovie(40, 8, 4);
  for (size_t i = 0; i < plan.frames.size(); ++i) plan.frames[i].timing.delay_ms = int32_t(i % 3) * 13;
  auto p = MakePlayer(dir_, EncodeMovie(plan));
  Console([&] { ShowFrame(*p, 0); });
  std::vector<int32_t> asked = PlayUntilIdle(*p, 500);
  std::vector<int32_t> expected;
  for (int32_t n = 1; n <= 40; ++n) expected.push_back(n);
  EXPECT_EQ(asked, expected);
  EXPECT_EQ(p->CurrentFrame, 39);
  fake::JoinThreads();  // no clock may outlive the player it reads
}

TEST_F(Threads, KeysWhileClocksSleep) {
  MoviePlan plan = SmallMovie(60, 8, 4);
  for (auto& f : plan.frames) f.timing.delay_ms = 30;
  auto p = MakePlayer(dir_, EncodeMovie(plan));
  p->StopAtEnd = 0;
  Console([&] { ShowFrame(*p, 0); });
  // Pause at frame 10 (the clock already sleeping posts nothing), step twice,
  // resume, jump home, and let the loop run on.
  bool paused = false, went_home = false;
  std::vector<int32_t> asked = PlayUntilIdle(*p, 400, [&](Player& p, int32_t n) {
    if (n == 10 && !paused) {
      paused = true;
      OnKey(p, platform::kKeySpace);
      OnKey(p, platform::kKeyRight);
      OnKey(p, platform::kKeySpace);
    } else if (n == 20 && !went_home) {
      went_home = true;
      OnKey(p, platform::kKeyHome);
      OnKey(p, platform::kKeyF2);  // looping off: the movie ends at its last frame
    }
  });
  ASSERT_FALSE(asked.empty());
  EXPECT_EQ(asked.back(), 60);  // the request past the last frame, with looping off
  EXPECT_EQ(p->CurrentFrame, 59);
  fake::JoinThreads();  // no clock may outlive the player it reads
}

}  // namespace
