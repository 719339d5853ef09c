// Movies from recordings: how fast qvm imports them, how much memory that
// takes, what each tolerance costs in rows and in picture quality, and how
// small the hand-out zips in each stack order. The recordings are encoded
// with the ffmpeg command on the first run and kept in build/native/bench-video:
// the shared 300-frame screen recording (994 x 722 at 5.5 frames a second) at
// CRF 23 and 18, and a 1920 x 1080 recording at 30 frames a second made of
// four copies of it started at different moments, as a busy full-HD screen.
// Each figure is printed beside its target at the end.
//
//   build/native/qv_video_bench
//   build/native/qv_video_bench --benchmark_filter=Import
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "movie/row_order.h"
#include "qvm/movie_writer.h"
#include "qvm/png_io.h"
#include "qvm/row_store.h"
#include "qvm/stack_order.h"
#include "qvm/video_source.h"

namespace {

const std::string kCache = QV_BENCH_CACHE;
const std::string kScreen = QV_SHARED_SCREEN;
const std::string kPlayer = QV_PLAYER_EXE;
const std::string kQvm = QVM_PATH;
constexpr int kScreenFrames = 300;

std::vector<std::string> g_summary;  // printed after the benchmarks

void Say(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Say(const char* format, ...) {
  char line[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  g_summary.push_back(line);
}

bool Exists(const std::string& path) {
  struct stat s;
  return stat(path.c_str(), &s) == 0;
}

std::string ScreenPng(int n) {
  char name[32];
  std::snprintf(name, sizeof name, "/frame_%04d.png", n);
  return kScreen + name;
}

// A recording made once: ffmpeg writes it under a temporary name first, so
// an interrupted run leaves nothing that looks finished.
std::string Recording(const std::string& name, const std::string& ffmpeg_args) {
  const std::string path = kCache + "/" + name;
  if (Exists(path)) return path;
  if (std::system(("mkdir -p '" + kCache + "'").c_str()) != 0) return "";
  const std::string part = kCache + "/part-" + name;
  const std::string command = "ffmpeg -nostdin -loglevel error -y " + ffmpeg_args + " '" + part + "'";
  std::fprintf(stderr, "making %s: %s\n", name.c_str(), command.c_str());
  if (std::system(command.c_str()) != 0 || std::rename(part.c_str(), path.c_str()) != 0) return "";
  return path;
}

std::string ScreenRecording(int crf) {
  return Recording("screen-crf" + std::to_string(crf) + ".mkv",
                   "-framerate 5.5 -i '" + kScreen + "/frame_%04d.png' -c:v libx264 -crf " + std::to_string(crf) +
                       " -pix_fmt yuv420p");
}

// Four copies of the screen, each started at another frame, tiled and cut
// to 1920 x 1080, at 30 frames a second: a full-HD screen busy everywhere.
std::string FullHdRecording() {
  std::string inputs;
  for (int start : {1, 76, 151, 226}) {
    inputs += "-framerate 5.5 -stream_loop -1 -start_number " + std::to_string(start) + " -i '" + kScreen +
              "/frame_%04d.png' ";
  }
  return Recording("fullhd-30fps.mkv",
                   inputs + "-filter_complex '[0][1][2][3]xstack=inputs=4:layout=0_0|w0_0|0_h0|w0_h0,"
                            "crop=1920:1080:0:0,fps=30' -t 20 -c:v libx264 -preset veryfast -crf 23 -pix_fmt yuv420p");
}

// The same recording three times over, as one three times as long.
std::string LongFullHdRecording() {
  const std::string once = FullHdRecording();
  if (once.empty()) return "";
  return Recording("fullhd-30fps-3x.mkv", "-stream_loop 2 -i '" + once + "' -c copy");
}

struct Run {
  bool ok = false;
  double wall_s = 0, cpu_s = 0, peak_mb = 0;
  std::string out;
};

// qvm as the author runs it, with the resources the kernel counted for it.
Run RunQvm(const std::vector<std::string>& args) {
  Run run;
  const std::string out_path = kCache + "/qvm-out.txt";
  const auto started = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    if (!std::freopen(out_path.c_str(), "w", stdout)) _exit(127);
    std::vector<char*> argv = {const_cast<char*>(kQvm.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(kQvm.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (child < 0 || wait4(child, &status, 0, &usage) != child) return run;
  run.wall_s = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  run.cpu_s = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
              double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  run.peak_mb = double(usage.ru_maxrss) / 1024;
  run.out = ReadWhole(out_path);
  run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return run;
}

// A number qvm's summary line puts before the words given.
double Figure(const std::string& out, const std::string& before) {
  const size_t at = out.find(before);
  if (at == std::string::npos) return 0;
  size_t start = out.rfind(' ', at - 1);
  start = start == std::string::npos ? 0 : start + 1;
  return std::atof(out.substr(start, at - start).c_str());
}

void Import(benchmark::State& state, const std::string& name, const std::string& recording, double target_fps) {
  if (recording.empty()) {
    state.SkipWithError("the recording could not be made (is ffmpeg installed, is the shared screen there?)");
    return;
  }
  for (auto _ : state) {
    const Run run = RunQvm({"build", "-o", kCache + "/import.QVM", "--video", recording});
    if (!run.ok) {
      state.SkipWithError(("qvm failed: " + run.out).c_str());
      return;
    }
    state.SetIterationTime(run.wall_s);
    const double pictures = Figure(run.out, " pictures of ");
    const double unique = Figure(run.out, " unique rows");
    const double width = Figure(run.out, " pixels wide");
    const double stack_mb = unique * width * 3 / 1e6;
    state.counters["pictures/s"] = pictures / run.wall_s;
    state.counters["pictures/cpu_s"] = pictures / run.cpu_s;
    state.counters["peak_MB"] = run.peak_mb;
    state.counters["stack_MB"] = stack_mb;
    Say("import %-22s %5.0f pictures: %6.1f pictures/s (target >= %.0f), %6.1f per CPU second, "
        "peak %6.0f MB for %6.0f MB of unique rows (%.0f rows)",
        name.c_str(), pictures, pictures / run.wall_s, target_fps, pictures / run.cpu_s, run.peak_mb, stack_mb, unique);
  }
}

void BM_ImportScreen(benchmark::State& state) { Import(state, "screen, CRF 23", ScreenRecording(23), 0); }
void BM_ImportFullHd(benchmark::State& state) { Import(state, "1920x1080 30 fps, 20 s", FullHdRecording(), 60); }
void BM_ImportFullHdLong(benchmark::State& state) {
  Import(state, "1920x1080 30 fps, 60 s", LongFullHdRecording(), 60);
}
BENCHMARK(BM_ImportScreen)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_ImportFullHd)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_ImportFullHdLong)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

double Psnr(double squared_error, double values) {
  return squared_error > 0 ? 10 * std::log10(255.0 * 255.0 * values / squared_error) : 99;
}

// Every decoded picture's rows through the store at tolerance T, each
// compared, as stored, with the decoded row and with the PNG it came from.
void BM_Tolerance(benchmark::State& state) {
  const int crf = int(state.range(0));
  const int32_t tolerance = int32_t(state.range(1));
  const std::string recording = ScreenRecording(crf);
  if (recording.empty()) {
    state.SkipWithError("the recording could not be made");
    return;
  }
  for (auto _ : state) {
    VideoSource source(recording);
    RowStore store(source.facts().width, tolerance);
    std::vector<int32_t> rows(size_t(source.facts().height), -1);
    Picture original;
    std::string error;
    int64_t time_ms = 0;
    int largest = 0;
    double sum = 0, squared = 0, squared_png = 0, codec_squared = 0, values = 0;
    for (int n = 1; n <= kScreenFrames; ++n) {
      const Picture* next = source.Next(&time_ms);
      if (!next) break;
      const Picture& decoded = *next;
      if (!ReadPng(ScreenPng(n), &original, &error)) {
        state.SkipWithError(error.c_str());
        return;
      }
      for (int32_t y = 0; y < decoded.height; ++y) {
        rows[size_t(y)] = store.Intern(decoded.row(y), rows[size_t(y)]);
        const uint8_t* stored = store.row(rows[size_t(y)]);
        const uint8_t* asked = decoded.row(y);
        const uint8_t* png = original.row(y);
        for (size_t i = 0; i < store.row_bytes(); ++i) {
          const int d = std::abs(int(stored[i]) - int(asked[i]));
          const int p = int(stored[i]) - int(png[i]);
          const int c = int(asked[i]) - int(png[i]);
          largest = std::max(largest, d);
          sum += d;
          squared += double(d) * d;
          squared_png += double(p) * p;
          codec_squared += double(c) * c;
        }
        values += double(store.row_bytes());
      }
    }
    const double stack_mb = double(store.size()) * double(store.row_bytes()) / 1e6;
    state.counters["unique_rows"] = store.size();
    state.counters["stack_MB"] = stack_mb;
    state.counters["largest_error"] = largest;
    state.counters["mean_error"] = sum / values;
    state.counters["PSNR_decoded"] = Psnr(squared, values);
    state.counters["PSNR_png"] = Psnr(squared_png, values);
    Say("tolerance CRF %d T %2d: %6d unique rows, %6.1f MB stack, largest error %2d, mean %.3f, "
        "PSNR %5.1f dB against the decoded pictures, %5.2f dB against the PNGs (the codec alone: %.2f dB)",
        crf, int(tolerance), int(store.size()), stack_mb, largest, sum / values, Psnr(squared, values),
        Psnr(squared_png, values), Psnr(codec_squared, values));
  }
}
BENCHMARK(BM_Tolerance)->ArgsProduct({{23, 18}, {0, 2, 4, 6, 8, 12}})->Iterations(1)->Unit(benchmark::kSecond);

// The rows of a movie file in the order its row lists first name them.
std::string FirstAppearanceOrder(std::string movie) {
  const size_t end = movie.find('\xFF');
  const int32_t width = int32_t(uint8_t(movie[end + 1])) << 8 | uint8_t(movie[end + 2]);
  PutRowsInPlayOrder(movie.data(), end, reinterpret_cast<uint8_t*>(movie.data()) + end + 3,
                     int64_t(movie.size() - end - 3), width, int64_t(end + 3));
  return movie;
}

size_t Deflated(const std::string& bytes) {
  uLongf size = compressBound(uLong(bytes.size()));
  std::vector<Bytef> out(size);
  compress2(out.data(), &size, reinterpret_cast<const Bytef*>(bytes.data()), uLong(bytes.size()), 9);
  return size;
}

// The player with the shared recording's movie, zipped: the real zip qvm
// bundle --zip writes, and the deflated bytes of the same bundle with its
// rows in first-appearance order.
void BM_HandOut(benchmark::State& state) {
  if (!Exists(kPlayer)) {
    state.SkipWithError(("no player at " + kPlayer + ": build the win32 preset").c_str());
    return;
  }
  for (auto _ : state) {
    std::string list;
    for (int n = 1; n <= kScreenFrames; ++n) list += ScreenPng(n) + " 182\n";
    const std::string list_path = kCache + "/screen-list.txt";
    std::FILE* f = std::fopen(list_path.c_str(), "w");
    if (!f) return state.SkipWithError("cannot write the frame list");
    std::fputs(list.c_str(), f);
    std::fclose(f);
    const std::string movie = kCache + "/screen.QVM", exe = kCache + "/Screen.exe";
    Run built = RunQvm({"build", "-o", movie, "--list", list_path});
    Run bundled = RunQvm({"bundle", kPlayer, movie, "-o", exe, "--zip"});
    if (!built.ok || !bundled.ok) return state.SkipWithError(("qvm failed: " + built.out + bundled.out).c_str());
    const std::string player = ReadWhole(kPlayer), sorted_movie = ReadWhole(movie);
    const double zip_mb = Figure(bundled.out, " bytes\n") / 1e6;
    const double sorted_mb = double(Deflated(player + MarkerLine() + "\r\n" + sorted_movie)) / 1e6;
    const double first_mb = double(Deflated(player + MarkerLine() + "\r\n" + FirstAppearanceOrder(sorted_movie))) / 1e6;
    state.counters["zip_MB"] = zip_mb;
    state.counters["first_appearance_MB"] = first_mb;
    Say("hand-out: Screen.zip %.3f MB (target <= 1.3 MB); deflated, rows sorted by bytes %.3f MB, "
        "in first-appearance order %.3f MB",
        zip_mb, sorted_mb, first_mb);
  }
}
BENCHMARK(BM_HandOut)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::printf("\n");
  for (const std::string& line : g_summary) std::printf("%s\n", line.c_str());
}
