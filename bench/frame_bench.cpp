// Playback costs on a movie shaped like a typical screen recording: 994 x 722,
// 1,841 frames, 722 row references a frame, about 43,654 unique rows, and
// about 99 rows a frame that differ from the previous frame. Each figure is
// also printed as a ratio to a plain copy of one frame's bytes.
//
//   build/native/qv_bench
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "movie/locator.h"
#include "player/geometry.h"
#include "player/show_frame.h"
#include "qvm/movie_writer.h"
#include "support/fake_platform.h"

namespace {

constexpr int32_t kWid = 994, kHgt = 722, kFrames = 1841;
constexpr int32_t kChangedRows = 99, kNewRowsPerFrame = 24;

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
      for (int32_t k = 0; k < kChangedRows; ++k) {
        int32_t y = int32_t(rng() % kHgt);
        rows[y] = k < kNewRowsPerFrame ? next_new++ : int32_t(rng() % next_new);
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
    std::snprintf(p.movie.flow_path, kPathSize, "%s", path.c_str());
    std::snprintf(p.movie.stack_path, kPathSize, "%s", path.c_str());
    std::FILE* f = std::fopen(path.c_str(), "rb");
    int c;
    while ((c = std::fgetc(f)) != 0xFF && c != EOF) ++p.movie.LastFlowByte;
    std::fclose(f);
    p.movie.LastFlowByte += 1;
    p.movie.FirstStackByte = p.movie.LastFlowByte + 3;
    p.movie.StackWid = kWid;
    p.movie.MaxFrameHgt = kHgt;
    p.canvases = CreateCanvases();
    p.geometry = {1000, kWid, kHgt, 0, 0, kWid, kHgt};
    BuildFrameIndex(&p.movie, &p.settings, &p.index, p.canvases.InactiveCanvas.pixels);
  }
  ~Fixture() { std::remove(path.c_str()); }
};

Fixture& Movie() {
  static Fixture f;
  return f;
}

void BM_PlainRowCopy(benchmark::State& state) {
  std::vector<uint8_t> from(size_t(kWid) * kHgt * 3, 1), to(from.size());
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), from.size());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_PlainRowCopy);

void BM_BuildFrameIndex(benchmark::State& state) {
  Player& p = *Movie().player;
  for (auto _ : state) {
    BuildFrameIndex(&p.movie, &p.settings, &p.index, p.canvases.InactiveCanvas.pixels);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * p.movie.LastFlowByte);
}
BENCHMARK(BM_BuildFrameIndex)->Unit(benchmark::kMillisecond);

// The file side of a presentation for every frame in order, warm page cache;
// the time is per frame.
void BM_FetchSequential(benchmark::State& state) {
  Player& p = *Movie().player;
  int32_t n = 0;
  for (auto _ : state) {
    FetchFrame(p, n);
    n = n == kFrames - 1 ? 0 : n + 1;
  }
}
BENCHMARK(BM_FetchSequential);

// Any frame from any frame, as Home and the page keys ask.
void BM_FetchRandom(benchmark::State& state) {
  Player& p = *Movie().player;
  std::mt19937 rng(3);
  for (auto _ : state) FetchFrame(p, int32_t(rng() % kFrames));
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
    double floor = ns_["BM_PlainRowCopy"];
    std::printf("\nRatios to the plain copy of %d x %d x 3 bytes (%.3f ms):\n", kWid, kHgt, floor / 1e6);
    for (auto& [name, ns] : ns_) std::printf("  %-24s %10.3f ms  %8.2f x\n", name.c_str(), ns / 1e6, ns / floor);
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
