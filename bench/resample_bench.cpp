// The picture scaler on a typical recording's 994 x 722 canvas picture, shrunk
// to 772 x 560 and enlarged to 1486 x 1080, with every row changed and with 5 %
// of the rows changed, beside the plain 24-to-32-bit widening a 1:1
// presentation does.
//
//   build/native/qv_bench --benchmark_filter=Scale
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "platform/pixel_rows.h"
#include "player/resample.h"

namespace {

constexpr int32_t kSrcWid = 994, kSrcHgt = 722, kCanvasStride = 9000;

const std::vector<uint8_t>& Canvas() {
  static const std::vector<uint8_t> canvas = [] {
    std::mt19937 rng(11);
    std::vector<uint8_t> c(size_t(kCanvasStride) * kSrcHgt);
    for (uint8_t& b : c) b = uint8_t(rng());
    return c;
  }();
  return canvas;
}

void BM_Scale1000_ExpandRows24To32(benchmark::State& state) {
  std::vector<uint8_t> dst(size_t(kSrcWid) * 4 * kSrcHgt);
  for (auto _ : state) {
    ExpandRows24To32(Canvas().data(), kCanvasStride, dst.data(), kSrcWid * 4, kSrcWid, kSrcHgt);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Scale1000_ExpandRows24To32)->Unit(benchmark::kMillisecond);

// Args: destination width and height, percent of source rows changed a call.
void BM_ScalePicture(benchmark::State& state) {
  const int32_t dst_wid = int32_t(state.range(0)), dst_hgt = int32_t(state.range(1));
  const int32_t percent = int32_t(state.range(2));
  Scaler scaler(kSrcWid, kSrcHgt, dst_wid, dst_hgt);
  std::vector<uint8_t> dst(size_t(dst_wid) * 4 * dst_hgt);
  scaler.Scale(Canvas().data(), kCanvasStride, nullptr, dst.data(), dst_wid * 4);
  // The changed rows lie scattered: each brings its neighbours' destination
  // rows along, so this costs more than a band of as many rows.
  std::vector<uint8_t> changed(kSrcHgt, 0);
  std::mt19937 rng(5);
  for (int32_t y = 0; y < kSrcHgt; ++y) changed[y] = int32_t(rng() % 100) < percent;
  for (auto _ : state) {
    scaler.Scale(Canvas().data(), kCanvasStride, percent >= 100 ? nullptr : changed.data(), dst.data(),
                 dst_wid * 4);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_ScalePicture)
    ->ArgNames({"wid", "hgt", "changed%"})
    ->Args({772, 560, 100})
    ->Args({772, 560, 5})
    ->Args({1486, 1080, 100})
    ->Args({1486, 1080, 5})
    ->Unit(benchmark::kMillisecond);

}  // namespace
