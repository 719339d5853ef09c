// What turns decoded pictures into a movie, without a recording: the row
// store's search order and its bound on the error, the timeline's merging,
// dropping, capping and clicks, and the sorted stack that still shows every
// frame as it was.
#include <gtest/gtest.h>

#include <random>

#include "movie/row_list.h"
#include "qvm/output_file.h"
#include "qvm/row_store.h"
#include "qvm/stack_order.h"
#include "qvm/video_timeline.h"
#include "tool/qvm_run.h"

namespace {

using Row = std::vector<uint8_t>;

// A row of text-like screen content: a background with dark marks whose
// places depend on seed.
Row ScreenRow(int32_t width, uint32_t seed) {
  std::mt19937 rng(seed);
  Row row(size_t(width) * 3, 230);
  for (int mark = 0; mark < width / 8; ++mark) {
    const size_t x = rng() % size_t(width);
    for (int c = 0; c < 3; ++c) row[3 * x + size_t(c)] = uint8_t(rng() % 60);
  }
  return row;
}

// The codec's noise: every byte moved by at most amount.
Row Noisy(Row row, int amount, uint32_t seed) {
  std::mt19937 rng(seed);
  for (uint8_t& b : row) b = uint8_t(std::clamp(int(b) + int(rng() % (2 * amount + 1)) - amount, 0, 255));
  return row;
}

Row Shifted(Row row, int by) {
  for (uint8_t& b : row) b = uint8_t(std::clamp(int(b) + by, 0, 255));
  return row;
}

TEST(RowStore, SearchesExactThenPreviousThenIndexAndStoresTheRest) {
  const int32_t width = 500;
  RowStore store(width, 6);
  const Row a = ScreenRow(width, 1), b = ScreenRow(width, 2);
  ASSERT_EQ(store.Intern(a.data(), -1), 0);
  ASSERT_EQ(store.Intern(b.data(), -1), 1);

  // Within T of the previous frame's row at this height: that row.
  EXPECT_EQ(store.Intern(Noisy(b, 6, 8).data(), 1), 1);
  EXPECT_EQ(store.counts().previous, 1);
  // A row that moved: within T of a stored row that was not above it.
  EXPECT_EQ(store.Intern(Noisy(a, 4, 9).data(), 1), 0);
  EXPECT_EQ(store.counts().indexed, 1);
  // One byte beyond T is another row, wherever it is looked for.
  Row a_changed = a;
  a_changed[size_t(width) * 3 / 2] = a[size_t(width) * 3 / 2] > 128 ? 0 : 255;
  EXPECT_EQ(store.Intern(a_changed.data(), 0), 2);
  // A whole row brighter by 5 is within T, but its averages lie beyond the
  // index's reach: stored, and then the previous row for the row it came from.
  const Row a_brighter = Shifted(a, 5);
  EXPECT_EQ(store.Intern(a_brighter.data(), -1), 3);
  EXPECT_EQ(store.counts().stored, 4);
  // The same bytes win over a previous frame's row that is merely close.
  EXPECT_EQ(store.Intern(a.data(), 3), 0);
  EXPECT_EQ(store.Intern(Noisy(a_brighter, 1, 10).data(), 3), 3);
  EXPECT_EQ(store.counts().exact, 1);
  EXPECT_EQ(store.counts().previous, 2);
}

TEST(RowStore, NothingButTheSameBytesIsSharedWithoutTolerance) {
  RowStore store(40, 0);
  const Row a = ScreenRow(40, 3);
  EXPECT_EQ(store.Intern(a.data(), -1), 0);
  EXPECT_EQ(store.Intern(Noisy(a, 1, 4).data(), 0), 1);
  EXPECT_EQ(store.Intern(a.data(), 1), 0);
  EXPECT_EQ(store.size(), 2);
}

// The promise behind the tolerance: whatever row is handed out, every byte of
// it is within T of the row asked for, over many frames of drifting noise and
// at widths that leave bytes past the index's 16-byte blocks.
TEST(RowStore, EveryRowHandedOutIsWithinTolerance) {
  for (int32_t width : {1, 5, 37, 994}) {
    for (int32_t tolerance : {0, 2, 6}) {
      RowStore store(width, tolerance);
      std::vector<Row> screen;
      for (uint32_t y = 0; y < 12; ++y) screen.push_back(ScreenRow(width, y % 5));
      std::vector<int32_t> shown(screen.size(), -1);
      for (uint32_t frame = 0; frame < 30; ++frame) {
        for (size_t y = 0; y < screen.size(); ++y) {
          // Rows scroll by one every ten frames and carry fresh noise.
          const Row asked = Noisy(screen[(y + frame / 10) % screen.size()], 3, frame * 100 + uint32_t(y));
          shown[y] = store.Intern(asked.data(), shown[y]);
          ASSERT_TRUE(RowsWithin(store.row(shown[y]), asked.data(), asked.size(), tolerance))
              << "width " << width << " T " << tolerance << " frame " << frame << " row " << y;
        }
      }
      if (tolerance == 6) {
        EXPECT_LE(store.size(), 5) << width;  // the noise made no new rows
      }
    }
  }
}

std::vector<TimedFrame> Play(const TimelineRules& rules, const std::vector<std::pair<int64_t, int32_t>>& pictures,
                            int64_t end_ms) {
  std::vector<TimedFrame> frames;
  Timeline timeline(rules, [&](const TimedFrame& f) { frames.push_back(f); });
  for (const auto& picture : pictures) timeline.Add(picture.first, {picture.second});
  timeline.Finish(end_ms);
  return frames;
}

// (first row index, delay, waits for a click) of each frame.
using Shown = std::vector<std::tuple<int32_t, int64_t, bool>>;
Shown Summary(const std::vector<TimedFrame>& frames) {
  Shown shown;
  for (const TimedFrame& f : frames) shown.emplace_back(f.rows[0], f.delay_ms, f.waits_for_click);
  return shown;
}

TEST(Timeline, StillStretchesMergeShortFramesDropAndLongOnesAreCut) {
  // Pictures at 30 a second: A for 100 ms, a 33 ms flicker of B, A again, C.
  const std::vector<std::pair<int64_t, int32_t>> pictures = {
      {0, 1}, {33, 1}, {67, 1}, {100, 2}, {133, 1}, {167, 1}, {200, 3}};
  struct Case {
    int32_t min_delay_ms, max_delay_ms;
    Shown frames;
  } cases[] = {
      {0, 0, {{1, 100, false}, {2, 33, false}, {1, 67, false}, {3, 40, false}}},
      // The flicker drops; its time goes to A, and A joins the A after it.
      // The last frame stays, however short: it is where the recording ends.
      {50, 0, {{1, 200, false}, {3, 40, false}}},
      {0, 60, {{1, 60, false}, {2, 33, false}, {1, 60, false}, {3, 40, false}}},
  };
  for (const Case& c : cases) {
    TimelineRules rules;
    rules.min_delay_ms = c.min_delay_ms;
    rules.max_delay_ms = c.max_delay_ms;
    EXPECT_EQ(Summary(Play(rules, pictures, 240)), c.frames) << c.min_delay_ms << " " << c.max_delay_ms;
  }
}

TEST(Timeline, TheFrameOnScreenAtAClickWaitsForIt) {
  TimelineRules rules;
  rules.min_delay_ms = 50;
  // Out of order on purpose; the click at 60 ms is a second one on the first picture.
  rules.clicks = {{150, 1, 2, 3, 4}, {40, 5, 6, 7, 8}, {60, 0, 0, 1, 1}, {210, 0, 0, 9, 9}};
  std::vector<TimedFrame> frames;
  Timeline timeline(rules, [&](const TimedFrame& f) { frames.push_back(f); });
  for (auto [at, row] : std::vector<std::pair<int64_t, int32_t>>{{0, 1}, {100, 1}, {140, 2}, {160, 3}, {200, 2}, {220, 2}}) {
    timeline.Add(at, {row});
  }
  timeline.Finish(300);
  // A waiting frame is never dropped, however short, and takes the time of
  // a short one after it; two pictures that each wait stay two frames.
  EXPECT_EQ(Summary(frames), (Shown{{1, 140, true}, {2, 60, true}, {2, 100, true}}));
  EXPECT_EQ(frames[0].click.region.left, 5);
  EXPECT_EQ(frames[1].click.region.left, 1);
  EXPECT_EQ(frames[2].click.region.right, 9);
  EXPECT_EQ(timeline.counts().clicks_ignored, 1);
  EXPECT_EQ(timeline.counts().dropped, 1);

  rules.clicks = {{400, 0, 0, 1, 1}};
  EXPECT_THROW(Play(rules, {{0, 1}}, 300), std::runtime_error);
}

// Rows of each frame, as the player would copy them, before and after.
std::vector<std::string> FramesOf(const MovieBytes& m) {
  std::vector<std::string> frames;
  const size_t row_bytes = size_t(m.width) * 3;
  size_t at = 0;
  while ((at = m.flow.find("\r\n$", at)) != std::string::npos) {
    at += 3;
    std::string frame;
    for (size_t c = at; m.flow[c] != '\r'; c += 4) frame += m.stack.substr(size_t(RowIndex(&m.flow[c])) * row_bytes, row_bytes);
    frames.push_back(frame);
  }
  return frames;
}

TEST(StackOrder, SortedOrPlayOrderedRowsShowTheSameFramesAndOtherLinesStay) {
  MoviePlan plan;
  plan.header = {"$ not a row list", "WindowText \"Sorted\""};
  for (uint32_t n = 0; n < 4; ++n) {
    Picture p = MakePicture(9, 6, 0x202020 * (n + 1));
    for (int32_t y = 0; y < 6; ++y) p.row(y)[3 * ((y + int32_t(n)) % 9)] = uint8_t(250 - 40 * y);
    plan.frames.push_back({p});
  }
  plan.has_inactive = true;
  plan.inactive = MakePicture(9, 6, 0xFFFFFF);
  MovieBytes movie = EncodeMovie(plan);
  const MovieBytes before = movie;
  ASSERT_TRUE(ReorderStack(&movie));
  EXPECT_EQ(FramesOf(movie), FramesOf(before));
  EXPECT_EQ(movie.flow.size(), before.flow.size());
  EXPECT_EQ(movie.flow.substr(0, 30), before.flow.substr(0, 30));
  for (size_t r = 1; r * 27 < movie.stack.size(); ++r) {
    EXPECT_LE(movie.stack.compare((r - 1) * 27, 27, movie.stack, r * 27, 27), 0) << r;
  }

  // In play order the same frames again, and every other line as it was. The
  // inactive picture's list comes first and names one white row, 0; frame
  // 0's rows follow it top down.
  const MovieBytes sorted = movie;
  const auto play_order = [](MovieBytes* m, int64_t first_stack_byte) {
    return PutRowsInPlayOrder(m->flow.data(), m->flow.size(), reinterpret_cast<uint8_t*>(m->stack.data()),
                              int64_t(m->stack.size()), m->width, first_stack_byte);
  };
  ASSERT_TRUE(play_order(&movie, 100));
  EXPECT_EQ(FramesOf(movie), FramesOf(before));
  EXPECT_EQ(movie.flow.substr(0, 30), before.flow.substr(0, 30));
  const size_t first_list = movie.flow.find("~000000\r\n$") + 10;
  for (int32_t y = 0; y < 6; ++y) EXPECT_EQ(RowIndex(&movie.flow[first_list + 4 * size_t(y)]), y + 1);

  // A row list naming a row the stack lacks, a line the player reads in
  // pieces, a stack cut inside a row, or one reaching past 2 GB: nothing is
  // touched.
  MovieBytes broken = before;
  broken.flow.replace(broken.flow.find("~000001\r\n$") + 10, 4, "zzzz");
  MovieBytes long_line = sorted;
  long_line.flow.insert(0, std::string(9995, 'x') + "\r\n");
  MovieBytes cut = sorted;
  cut.stack.pop_back();
  for (auto [m, first_stack_byte] : {std::pair{broken, int64_t{100}}, {long_line, int64_t{100}},
                                     {cut, int64_t{100}}, {sorted, int64_t{INT32_MAX}}}) {
    const MovieBytes kept = m;
    EXPECT_FALSE(play_order(&m, first_stack_byte));
    EXPECT_EQ(m.flow, kept.flow);
    EXPECT_EQ(m.stack, kept.stack);
  }
  ScratchDir dir("unsorted");
  for (MovieBytes m : {broken, long_line}) {
    const MovieBytes kept = m;
    EXPECT_FALSE(ReorderStack(&m));
    EXPECT_EQ(m.flow, kept.flow);
    EXPECT_EQ(m.stack, kept.stack);
    // Written as a file, such a movie is refused and leaves no file behind.
    const size_t row_bytes = size_t(m.width) * 3;
    const uint8_t* stack = reinterpret_cast<const uint8_t*>(m.stack.data());
    std::string error;
    {
      OutputFile out(dir / "m.QVM");
      error = WriteSortedMovie(&out, m.flow, m.width, int32_t(m.stack.size() / row_bytes),
                               [&](int32_t r) { return stack + size_t(r) * row_bytes; });
    }
    EXPECT_NE(error.find("cannot be renumbered"), std::string::npos) << error;
    EXPECT_EQ(ReadBytes(dir / "m.QVM"), "");
  }
}

}  // namespace
