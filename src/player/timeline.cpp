#include "player/timeline.h"

#include "movie/line_reader.h"
#include "movie/timing_line.h"

Timeline ReadTimeline(const Player& p) {
  Timeline t;
  const int32_t frames = p.index.LastFrame + 1;
  if (frames <= 0) return t;
  t.delay_ms.assign(size_t(frames), 0);
  t.start_ms.assign(size_t(frames), 0);
  LineReader flow;
  const bool open = flow.open(p.movie.flow_path.c_str());
  flow.set_end(p.movie.LastFlowByte);
  std::vector<char> line(kLineSize);
  int64_t at = 0;
  for (int32_t n = 0; n < frames; ++n) {
    t.start_ms[size_t(n)] = at;
    int32_t delay = 0;
    // The frame line, the row list (in pieces when long), the timing line.
    if (open && p.index.offsets[n] >= 0 && flow.seek(p.index.offsets[n]) &&
        flow.read(line.data(), kLineSize) && line[0] == '~' &&
        flow.read(line.data(), kLineSize) && line[0] == '$') {
      while (!flow.ended() && flow.read(line.data(), kLineSize)) {
      }
      if (flow.read(line.data(), kLineSize)) delay = ReadTimingLine(line.data()).delay_ms;
    }
    t.delay_ms[size_t(n)] = delay;
    if (delay > 0) at += delay;
  }
  return t;
}
