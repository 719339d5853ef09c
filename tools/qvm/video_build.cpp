// qvm build --video: pictures are decoded, turned into rows that the row
// store matches against the rows it holds, and handed as row lists to the
// timeline, which merges the still stretches into frames. One picture is held
// at a time, so memory grows with the unique rows, not with the recording.
#include "qvm/video_build.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <stdexcept>

#include "movie/movie_source.h"
#include "qvm/build_inputs.h"
#include "qvm/click_log.h"
#include "qvm/movie_writer.h"
#include "qvm/output_file.h"
#include "qvm/row_store.h"
#include "qvm/stack_order.h"
#include "qvm/video_source.h"
#include "qvm/video_timeline.h"

const char* const kVideoOptions[10] = {"--video", "--tolerance", "--max-delay", "--min-delay", "--start",
                                       "--end",   "--click",     "--clicks",    "--scale",     "--click-box"};

namespace {

// Every channel within 6 of a stored row: invisible beside what a lossy
// codec already changed, and it brings the shared rows back.
constexpr int32_t kLossyTolerance = 6;
// Damage the decoder repaired in at most one packet in a hundred is small.
constexpr int64_t kDamagedPacketsPerHundred = 1;

struct VideoPlan {
  std::string recording;
  std::string out;
  std::vector<std::string> header;
  int32_t tolerance = -1;  // -1: as the codec suggests
  int32_t scale_width = 0;
  int64_t start_ms = 0;
  int64_t end_ms = -1;     // -1: to the end
  TimelineRules rules;
  std::vector<LoggedClick> logged;  // boxed once the movie's size is known
  int32_t box_w = 40, box_h = 30;
};

// "12", "12.5", "0.040": seconds, to the millisecond; throws otherwise.
int64_t ParseSeconds(const std::string& text, const std::string& what) {
  const size_t point = text.find('.');
  const std::string whole = text.substr(0, point);
  const std::string fraction = point == std::string::npos ? "" : text.substr(point + 1);
  const bool digits = !whole.empty() && whole.size() <= 7 &&
                      whole.find_first_not_of("0123456789") == std::string::npos &&
                      fraction.size() <= 3 && fraction.find_first_not_of("0123456789") == std::string::npos &&
                      (point == std::string::npos || !fraction.empty());
  if (!digits) {
    throw std::runtime_error(what + " is a time in seconds, such as 12 or 12.5, not \"" + text + "\"");
  }
  int64_t ms = std::stoll(whole) * 1000;
  for (size_t i = 0, unit = 100; i < fraction.size(); ++i, unit /= 10) ms += (fraction[i] - '0') * int64_t(unit);
  return ms;
}

// "T:X1,Y1,X2,Y2", T in seconds as above; throws otherwise.
VideoClick ParseClick(const std::string& text, const std::string& what) {
  const size_t colon = text.find(':');
  if (colon == std::string::npos) throw std::runtime_error(what + ": a click is T:X1,Y1,X2,Y2");
  VideoClick click;
  click.at_ms = ParseSeconds(text.substr(0, colon), what + ": the time");
  click.region = ParseClickRegion(text, colon + 1, what + ": a click is T:X1,Y1,X2,Y2", what + ": a click edge");
  return click;
}

// One click a line, as a region or as a click log's point; blank lines and
// lines beginning with '#' are skipped, and so is a log's line of column heads.
void ReadClickFile(const std::string& path, VideoPlan* plan) {
  const std::vector<std::string> lines = ReadLines(path);
  bool first = true;
  for (size_t n = 0; n < lines.size(); ++n) {
    const std::string line = Trim(lines[n]);
    if (line.empty() || line[0] == '#') continue;
    const std::string where = path + " line " + std::to_string(n + 1);
    LoggedClick logged;
    if (IsRegionLine(line)) {
      plan->rules.clicks.push_back(ParseClick(line, where));
    } else if (ParseLoggedClick(line, where, &logged)) {
      plan->logged.push_back(logged);
    } else if (!first) {
      throw std::runtime_error(where + ": a click is T:X1,Y1,X2,Y2 or a time, x and y");
    }
    first = false;
  }
}

// "W,H": the box a logged click is given.
void ParseClickBox(const std::string& text, VideoPlan* plan) {
  const size_t comma = text.find(',');
  if (comma == std::string::npos) throw std::runtime_error("--click-box is W,H in pixels, such as 40,30");
  plan->box_w = ParseCount(text.substr(0, comma), "--click-box's width");
  plan->box_h = ParseCount(text.substr(comma + 1), "--click-box's height");
  if (plan->box_w < 1 || plan->box_h < 1) throw std::runtime_error("--click-box is at least 1,1");
}

VideoPlan PlanFromArgs(const CommandArgs& args) {
  VideoPlan plan;
  plan.recording = args.value("--video");
  plan.out = args.value("-o");
  if (!args.plain.empty() || args.has("--list") || args.has("--delay")) {
    throw std::runtime_error("--video takes no pictures, --list or --delay");
  }
  if (args.has("--header")) plan.header = ReadHeaderFile(args.value("--header"));
  if (args.has("--tolerance")) {
    plan.tolerance = ParseCount(args.value("--tolerance"), "--tolerance");
    if (plan.tolerance > 255) throw std::runtime_error("--tolerance is 0 to 255");
  }
  if (args.has("--scale")) {
    plan.scale_width = ParseCount(args.value("--scale"), "--scale");
    if (plan.scale_width < 1 || plan.scale_width > kMaxStackWid) {
      throw std::runtime_error("--scale is a width of 1 to 3000 pixels");
    }
  }
  if (args.has("--start")) plan.start_ms = ParseSeconds(args.value("--start"), "--start");
  if (args.has("--end")) plan.end_ms = ParseSeconds(args.value("--end"), "--end");
  if (plan.end_ms >= 0 && plan.end_ms <= plan.start_ms) {
    throw std::runtime_error("--end must come after --start");
  }
  plan.rules.min_delay_ms = ParseCount(args.value("--min-delay", "0"), "--min-delay");
  plan.rules.max_delay_ms = ParseCount(args.value("--max-delay", "0"), "--max-delay");
  if (plan.rules.max_delay_ms > 0 && plan.rules.max_delay_ms < plan.rules.min_delay_ms) {
    throw std::runtime_error("--max-delay is below --min-delay");
  }
  if (args.has("--clicks")) ReadClickFile(args.value("--clicks"), &plan);
  if (args.has("--click-box")) ParseClickBox(args.value("--click-box"), &plan);
  for (const std::string& click : args.all("--click")) {
    plan.rules.clicks.push_back(ParseClick(click, "--click " + click));
  }
  return plan;
}

struct Size {
  int32_t width, height;
};

// The recording's size, or the one --scale asks for; refused beyond what a
// movie can hold.
Size MovieSize(const VideoFacts& facts, int32_t scale_width, const std::string& recording) {
  if (facts.width < 1 || facts.height < 1) throw std::runtime_error(recording + ": the pictures have no size");
  char text[400];
  if (scale_width > 0) {
    const int64_t height = std::max<int64_t>(1, (int64_t(facts.height) * scale_width + facts.width / 2) / facts.width);
    if (height > kMaxRows) {
      std::snprintf(text, sizeof text,
                    "--scale %d makes the %d x %d pictures %d x %lld; a movie has at most 2400 rows "
                    "(--scale %lld or less fits)",
                    int(scale_width), int(facts.width), int(facts.height), int(scale_width),
                    static_cast<long long>(height), static_cast<long long>(int64_t(kMaxRows) * facts.width / facts.height));
      throw std::runtime_error(text);
    }
    return {scale_width, int32_t(height)};
  }
  if (facts.width > kMaxStackWid || facts.height > kMaxRows) {
    const int64_t fits = std::min<int64_t>(kMaxStackWid, int64_t(kMaxRows) * facts.width / facts.height);
    std::snprintf(text, sizeof text,
                  "%s is %d x %d; a movie is at most 3000 pixels wide and 2400 rows high: "
                  "give --scale W to scale it down (--scale %lld or less fits)",
                  recording.c_str(), int(facts.width), int(facts.height), static_cast<long long>(fits));
    throw std::runtime_error(text);
  }
  return {facts.width, facts.height};
}

void CheckClicks(const TimelineRules& rules, Size size, const VideoPlan& plan) {
  for (const VideoClick& c : rules.clicks) {
    const std::string what = "the click at " + Seconds(c.at_ms);
    if (c.at_ms < plan.start_ms) throw std::runtime_error(what + " comes before --start");
    if (plan.end_ms >= 0 && c.at_ms >= plan.end_ms) throw std::runtime_error(what + " comes at or after --end");
    if (c.region.left > c.region.right || c.region.top > c.region.bottom) {
      throw std::runtime_error(what + ": the region's right and bottom edges must not lie left of or above its left and top");
    }
    if (c.region.right >= size.width || c.region.bottom >= size.height) {
      throw std::runtime_error(what + ": the region reaches past the " + std::to_string(size.width) + " x " +
                               std::to_string(size.height) + " movie");
    }
  }
}

// A line on a terminal, redrawn at most four times a second.
class Progress {
 public:
  explicit Progress(int64_t total) : total_(total), on_terminal_(isatty(fileno(stdout)) == 1) {}

  void Update(int64_t read, int64_t kept, int32_t unique_rows) {
    if (!on_terminal_) return;
    const double now = seconds();
    if (now - shown_ < 0.25) return;
    shown_ = now;
    const double rate = now > 0 ? double(read) / now : 0;
    char left[32] = "";
    if (total_ > read && rate > 0) {
      const int64_t s = int64_t(double(total_ - read) / rate);
      std::snprintf(left, sizeof left, ", %d:%02d left", int(s / 60), int(s % 60));
    }
    char of_total[32] = "";
    if (total_ > 0) std::snprintf(of_total, sizeof of_total, " of %lld", static_cast<long long>(total_));
    std::printf("\r%lld%s pictures read, %lld frames kept, %d unique rows, %.0f pictures/s%s\033[K",
                static_cast<long long>(read), of_total, static_cast<long long>(kept), int(unique_rows),
                rate, left);
    std::fflush(stdout);
  }
  void Done() {
    if (on_terminal_ && shown_ > 0) std::printf("\r\033[K");
  }
  double seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
  }

 private:
  int64_t total_;
  bool on_terminal_;
  double shown_ = 0;
  std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
};

constexpr char kSmallerRecording[] = "; cut the recording, raise --tolerance or --scale it down";

void RequireWithinOffsets(size_t flow_bytes, int64_t rows, size_t row_bytes, const char* advice) {
  if (!WithinOffsets(flow_bytes, rows, row_bytes)) throw std::runtime_error(kBeyondOffsets + std::string(advice));
}

void RequireSmallDamage(const DecodeDamage& damage, const std::string& recording) {
  if (damage.errors * 100 <= damage.packets * kDamagedPacketsPerHundred) return;
  throw std::runtime_error(recording + ": " + std::to_string(damage.errors) + " decoding errors in " +
                           std::to_string(damage.packets) +
                           " video packets, more than the one in a hundred qvm accepts");
}

// How long the last picture shows: its own duration, else the average of
// the ones before it, else the stream's nominal rate.
int64_t LastPictureMs(const VideoSource& source, int64_t first_ms, int64_t last_ms, int64_t pictures) {
  if (source.last_duration_ms() > 0) return source.last_duration_ms();
  if (pictures > 1 && last_ms > first_ms) return (last_ms - first_ms) / (pictures - 1);
  if (source.nominal_frame_ms() > 0) return source.nominal_frame_ms();
  return 100;
}

}  // namespace

int BuildFromVideo(const CommandArgs& args) {
  VideoPlan plan = PlanFromArgs(args);
  OutputFile out(plan.out);  // an unwritable folder fails before the long part
  VideoSource source(plan.recording);
  const VideoFacts& facts = source.facts();
  const Size size = MovieSize(facts, plan.scale_width, plan.recording);
  source.SetOutputSize(size.width, size.height);
  for (const LoggedClick& c : plan.logged) {
    plan.rules.clicks.push_back({c.at_ms, BoxAround(c, plan.box_w, plan.box_h, size.width, size.height)});
  }
  CheckClicks(plan.rules, size, plan);
  const int32_t tolerance = plan.tolerance >= 0 ? plan.tolerance : facts.lossless ? 0 : kLossyTolerance;

  RowStore store(size.width, tolerance);
  MovieEncoder flow(plan.header);
  Timeline timeline(plan.rules, [&](const TimedFrame& frame) {
    if (flow.frame_count() >= kMaxFrames) {
      throw std::runtime_error("the movie would pass 50000 frames; cut the recording with --start and --end "
                               "or raise --min-delay");
    }
    flow.AddFrameRows(frame.rows, frame.timing());
    RequireWithinOffsets(flow.flow_bytes(), store.size(), store.row_bytes(), kSmallerRecording);
  });
  std::vector<int32_t> rows(size_t(size.height), -1);
  auto row_list = [&](const Picture& picture) {
    for (int32_t y = 0; y < size.height; ++y) rows[size_t(y)] = store.Intern(picture.row(y), rows[size_t(y)]);
    return rows;
  };

  Progress progress(facts.frames_guess);
  Picture before_start;
  bool have_before_start = false;
  bool rows_are_previous = false;  // rows holds the list of the picture just before
  int64_t time_ms = 0, first_ms = -1, last_ms = -1, read = 0;
  bool cut_at_end = false;
  while (const Picture* picture = source.Next(&time_ms)) {
    if (plan.end_ms >= 0 && time_ms >= plan.end_ms) {
      cut_at_end = true;
      break;
    }
    ++read;
    // The picture on screen at --start is the last one before it.
    if (time_ms < plan.start_ms) {
      before_start = *picture;
      have_before_start = true;
      rows_are_previous = false;
      continue;
    }
    if (have_before_start && time_ms > plan.start_ms) {
      timeline.Add(plan.start_ms, row_list(before_start));
      rows_are_previous = true;
    }
    have_before_start = false;
    if (first_ms < 0) first_ms = time_ms;
    last_ms = time_ms;
    // A picture that decoded to the same pixels has the same rows.
    timeline.Add(time_ms, source.repeated() && rows_are_previous ? rows : row_list(*picture));
    rows_are_previous = true;
    progress.Update(read, timeline.counts().frames, store.size());
  }
  progress.Done();
  if (read == 0) throw std::runtime_error(plan.recording + ": no picture could be decoded");
  if (have_before_start) {
    throw std::runtime_error("--start " + Seconds(plan.start_ms) + " lies past the recording's last picture at " +
                             Seconds(time_ms));
  }
  RequireSmallDamage(source.damage(), plan.recording);
  const int64_t end_ms = cut_at_end ? plan.end_ms
                                    : last_ms + LastPictureMs(source, first_ms, last_ms, timeline.counts().pictures);
  timeline.Finish(end_ms);
  const MovieBytes movie = flow.Finish();
  const std::string error = WriteSortedMovie(&out, movie.flow, size.width, store.size(),
                                             [&](int32_t r) { return store.row(r); });
  if (!error.empty()) throw std::runtime_error(error + (error == kBeyondOffsets ? kSmallerRecording : ""));

  const double seconds = progress.seconds();
  std::printf("%s: %d frames of %d pixels wide, %lld row references, %d unique rows; "
              "%lld pictures of %s (%s, tolerance %d) in %.1f s, %.0f pictures/s",
              plan.out.c_str(), int(movie.frame_count), int(size.width), static_cast<long long>(movie.row_refs),
              int(store.size()), static_cast<long long>(read), plan.recording.c_str(), facts.codec.c_str(),
              int(tolerance), seconds, seconds > 0 ? double(read) / seconds : 0.0);
  const TimelineCounts& counts = timeline.counts();
  if (counts.dropped) std::printf(", %lld dropped below --min-delay", static_cast<long long>(counts.dropped));
  if (counts.shortened) std::printf(", %lld cut to --max-delay", static_cast<long long>(counts.shortened));
  if (counts.clicks_ignored) {
    std::printf(", %lld clicks on a frame already waiting ignored", static_cast<long long>(counts.clicks_ignored));
  }
  // A file cut short still plays up to the cut; the author should know.
  const double announced_s = facts.seconds_guess;
  if (!cut_at_end && announced_s > 2 && double(end_ms) / 1000 < announced_s * 0.9) {
    std::printf(", the pictures end at %.1f s of the %.1f s the file announces", double(end_ms) / 1000, announced_s);
  }
  if (source.damage().errors) {
    std::printf(", %lld decoding errors in %lld packets", static_cast<long long>(source.damage().errors),
                static_cast<long long>(source.damage().packets));
  }
  std::printf("\n");
  return 0;
}
