// Rows a canvas row already holds are not copied again. Whatever the order of
// frames, a re-index, a rewritten stack or a stack cut short, FrameCanvas must
// end up byte for byte as a full rebuild of each frame leaves it.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

#include <cstring>
#include <random>

#include "movie/row_list.h"
#include "player/render_frame.h"
#include "support/fake_platform.h"
#include "support/movie_maker.h"
#include "support/player_fixture.h"

namespace {

constexpr int32_t kWid = 6, kHgt = 9;

class RowCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake::Reset();
    dir_ = TempDir("cache");
    reference_.assign(size_t(9000) * 2400, 0);
  }
  void Load(const MovieBytes& bytes) {
    bytes_ = bytes;
    p_ = MakePlayer(dir_, bytes_);
  }
  // Shows frame n through the cache, and rebuilds it in full into the reference.
  void Fetch(int32_t n) {
    FetchedFrame frame;
    Fetched fetched = Fetched::kMoved;
    Console([&] { fetched = FetchFrame(*p_, n, &frame); });
    ASSERT_EQ(fetched, Fetched::kRead);
    EXPECT_EQ(frame.FrameHgt, kHgt);
    std::string flow = bytes_.flow;
    size_t at = flow.find("~" + FrameName(n));
    size_t list = flow.find('$', at);
    std::string rows = flow.substr(list, flow.find('\r', list) - list);
    StackFile stack;
    ASSERT_TRUE(stack.open(p_->movie.stack_path.c_str()));
    LoadRowList(rows.c_str(), stack, p_->movie.StackWid, p_->movie.FirstStackByte, reference_.data());
    ASSERT_EQ(std::memcmp(reference_.data(), p_->canvases.FrameCanvas.pixels, reference_.size()), 0)
        << "frame " << n;
  }
  void Rewrite(const MovieBytes& bytes) {
    bytes_ = bytes;
    ASSERT_TRUE(WriteFile(p_->movie.flow_path, MovieFileBytes(bytes_)));
    // Another time stamp, as a rewrite a second later would give.
    struct utimbuf times = {1000000000, 1000000000 + ++rewrites_};
    utime(p_->movie.flow_path.c_str(), &times);
  }
  MoviePlan Movie(int seed) {
    MoviePlan plan = SmallMovie(30, kWid, kHgt);
    std::mt19937 rng(seed);
    for (auto& f : plan.frames) f.picture.row(rng() % kHgt)[rng() % (kWid * 3)] = uint8_t(rng());
    return plan;
  }

  std::string dir_;
  MovieBytes bytes_;
  std::unique_ptr<Player> p_;
  std::vector<uint8_t> reference_;
  int rewrites_ = 0;
};

TEST_F(RowCacheTest, SequentialAndRandomOrder) {
  Load(EncodeMovie(Movie(1)));
  for (int32_t n = 0; n < 30; ++n) Fetch(n);
  std::mt19937 rng(5);
  for (int i = 0; i < 60; ++i) Fetch(int32_t(rng() % 30));
}

TEST_F(RowCacheTest, ReadingRowByRowGivesTheSame) {
  fake::state().mapping_fails = true;
  Load(EncodeMovie(Movie(2)));
  for (int32_t n : {0, 1, 2, 29, 3, 3, 17}) Fetch(n);
  EXPECT_FALSE(p_->stack.mapped());
}

TEST_F(RowCacheTest, ReindexAndRewrittenStack) {
  Load(EncodeMovie(Movie(3)));
  for (int32_t n = 0; n < 10; ++n) Fetch(n);
  // The flow moves and the stack gets other rows under the same indices.
  MovieBytes other = EncodeMovie(Movie(4));
  other.flow = "xMoved\r\n" + other.flow;
  Rewrite(other);
  p_->movie.LastFlowByte = int32_t(other.flow.size());
  p_->movie.FirstStackByte = p_->movie.LastFlowByte + 3;
  FetchedFrame frame;
  Console([&] { EXPECT_EQ(FetchFrame(*p_, 10, &frame), Fetched::kMoved); });
  for (int32_t n = 10; n < 20; ++n) Fetch(n);
  // Same flow, other stack bytes: only the time stamp tells.
  MovieBytes same = bytes_;
  for (char& c : same.stack) c = char(c ^ 0x5A);
  Rewrite(same);
  for (int32_t n = 20; n < 30; ++n) Fetch(n);
  EXPECT_GE(fake::state().maps, 3);
}

TEST_F(RowCacheTest, RowsCutByTheEndOfTheStack) {
  MovieBytes bytes = EncodeMovie(Movie(6));
  bytes.stack.resize(bytes.stack.size() - kWid * 3 - 4);  // the last row ends mid-row
  Load(bytes);
  for (int32_t n = 0; n < 30; ++n) Fetch(n);
  for (int32_t n = 29; n >= 0; n -= 3) Fetch(n);
}

}  // namespace
