// Playback costs on a movie shaped like a typical screen recording: 994 x 722,
// 1,841 frames, 722 row references a frame, about 43,654 unique rows, and
// about 99 rows a frame that differ from the previous frame, a quarter of
// them new and the rest rows the screen showed in the last few seconds. As on
// a real screen the changes gather where the activity is (a band of 240 rows
// that moves every 150 frames, as the viewer's attention moves between
// windows) while the rest of the screen stays as it was.
// Each figure is printed as a ratio to two floors: a plain memcpy of one
// frame's bytes between two buffers the cache holds, and a plain copy of one
// frame's 722 rows into the canvas from memory the cache does not hold (what
// any decoder of a stored frame pays).
//
//   build/native/qv_bench
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "movie/frame_index.h"
#include "movie/movie_layout.h"
#include "player/geometry.h"
#include "player/render_frame.h"
#include "qvm/movie_writer.h"
#include "support/fake_platform.h"

namespace {

constexpr int32_t kWid = 994, kHgt = 722, kFrames = 1841;
constexpr int32_t kChangedRows = 99, kNewRowsPerFrame = 24;
constexpr int32_t kRecentRows = 2000;  // about 80 frames' worth of new rows
constexpr int32_t kBandRows = 240, kBandFrames = 150;

// The movie is written straight as flow and stack: holding 1,841 pictures
// would take 4 GB.
std::string MakeTypicalMovie() {
  std::mt19937 rng(7);
  const int32_t unique = kHgt + (kFrames - 1) * kNewRowsPerFrame;
  MovieBytes m;
  m.width = kWid;
  m.stack.resize(size_t(unique) * kWid * 3);
  for (int32_t r = 0; r < unique; ++r) {
    // Screen-like rows: long runs of one colour with a few short details.
    uint8_t* row = reinterpret_cast<uint8_t*>(&m.stack[size_t(r) * kWid * 3]);
    uint8_t shade = uint8_t(rng());
    for (int32_t x = 0; x < kWid * 3; ++x) row[x] = (x / 97 + r) % 7 == 0 ? uint8_t(rng()) : shade;
  }
  std::vector<int32_t> rows(kHgt);
  for (int32_t y = 0; y < kHgt; ++y) rows[y] = y;
  int32_t next_new = kHgt;
  std::string flow = "WindowText \"Typical\"\r\n";
  for (int32_t n = 0; n < kFrames; ++n) {
    if (n > 0) {
      const int32_t band_top = int32_t((n / kBandFrames) * 397 % (kHgt - kBandRows));
      for (int32_t k = 0; k < kChangedRows; ++k) {
        int32_t y = band_top + int32_t(rng() % kBandRows);
        int32_t recent = next_new < kRecentRows ? next_new : kRecentRows;
        rows[y] = k < kNewRowsPerFrame ? next_new++ : next_new - 1 - int32_t(rng() % recent);
      }
    }
    flow += "~" + FrameName(n) + "\r\n$";
    for (int32_t index : rows) flow += EncodeRowIndex(index);
    flow += "\r\n  \">\" Timer 140 -- 0,0\r\n";
  }
  m.flow = flow + "# -99\r\n";
  std::string path = "/tmp/qv_bench_" + std::to_string(getpid()) + ".QVM";
  WriteFile(path, MovieFileBytes(m));
  return path;
}

struct Fixture {
  std::string path;
  std::unique_ptr<Player> player = std::make_unique<Player>();
  Fixture() {
    path = MakeTypicalMovie();
    Player& p = *player;
    ReadLayout(MovieKind::kMovieFile, path, path, &p.movie);
    p.canvases = CreateCanvases();
    p.geometry = {1000, kWid, kHgt, 0, 0, kWid, kHgt};
    BuildFrameIndex(p.movie, &p.index, p.canvases.InactiveCanvas.pixels);
    if (p.index.LastFrame != kFrames - 1) {
      std::fprintf(stderr, "indexed %d frames, expected %d\n", p.index.LastFrame + 1, kFrames);
      std::exit(1);
    }
  }
  ~Fixture() { std::remove(path.c_str()); }
};

Fixture& Movie() {
  static Fixture f;
  return f;
}

void BM_PlainMemcpy(benchmark::State& state) {
  std::vector<uint8_t> from(size_t(kWid) * kHgt * 3, 1), to(from.size());
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), from.size());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_PlainMemcpy);

// Frames stored one after another in 128 MB, copied row by row into the canvas.
void BM_PlainRowCopy(benchmark::State& state) {
  const size_t frame_bytes = size_t(kWid) * kHgt * 3;
  const size_t frames = (size_t(128) << 20) / frame_bytes;
  std::vector<uint8_t> from(frames * frame_bytes, 1);
  uint8_t* canvas = Movie().player->canvases.FrameCanvas.pixels;
  size_t f = 0;
  for (auto _ : state) {
    const uint8_t* src = from.data() + f * frame_bytes;
    for (int32_t y = 0; y < kHgt; ++y) std::memcpy(canvas + size_t(y) * 9000, src + size_t(y) * kWid * 3, kWid * 3);
    benchmark::ClobberMemory();
    f = (f + 1) % frames;
  }
}
BENCHMARK(BM_PlainRowCopy);

void BM_BuildFrameIndex(benchmark::State& state) {
  Player& p = *Movie().player;
  for (auto _ : state) {
    BuildFrameIndex(p.movie, &p.index, p.canvases.InactiveCanvas.pixels);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * p.movie.LastFlowByte);
}
BENCHMARK(BM_BuildFrameIndex)->Unit(benchmark::kMillisecond);

// The file side of a presentation for every frame in order, warm page cache;
// the time is per frame.
void BM_FetchSequential(benchmark::State& state) {
  Player& p = *Movie().player;
  FetchedFrame frame;
  int32_t n = 0;
  for (auto _ : state) {
    FetchFrame(p, n, &frame);
    n = n == kFrames - 1 ? 0 : n + 1;
  }
}
BENCHMARK(BM_FetchSequential);

// Any frame from any frame, as Home and the page keys ask.
void BM_FetchRandom(benchmark::State& state) {
  Player& p = *Movie().player;
  std::mt19937 rng(3);
  FetchedFrame frame;
  for (auto _ : state) FetchFrame(p, int32_t(rng() % kFrames), &frame);
}
BENCHMARK(BM_FetchRandom);

// Prints each benchmark's time as a ratio to the plain copy.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) ns_[r.benchmark_name()] = r.GetAdjustedRealTime() * Scale(r.time_unit);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    const double memcpy_ns = ns_["BM_PlainMemcpy"], rows_ns = ns_["BM_PlainRowCopy"];
    if (memcpy_ns <= 0 || rows_ns <= 0) return;
    std::printf("\n%-24s %10s  %14s  %14s\n", "per run", "time", "x hot memcpy", "x row copy");
    for (auto& [name, ns] : ns_) {
      std::printf("%-24s %7.3f ms  %12.2f x  %12.2f x\n", name.c_str(), ns / 1e6, ns / memcpy_ns,
                  ns / rows_ns);
    }
  }

 private:
  static double Scale(benchmark::TimeUnit u) {
    switch (u) {
      case benchmark::kMillisecond: return 1e6;
      case benchmark::kMicrosecond: return 1e3;
      case benchmark::kSecond: return 1e9;
      default: return 1;
    }
  }
  std::map<std::string, double> ns_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  Movie();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
}
