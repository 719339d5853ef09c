#include "player/movie_readers.h"

#include <cstdio>

#include "movie/locator.h"
#include "movie/row_list.h"
#include "platform/failure.h"

namespace {

[[noreturn]] void FailIndex(const MovieSource& movie, const IndexResult& r) {
  char text[128];
  switch (r.fault) {
    case IndexFault::kNoFlow:
      FailTag("NoFlowLO1");
    case IndexFault::kNoStack:
      FailTag("No file '%s'", movie.stack_path.c_str());
    case IndexFault::kInactiveNotRows:
      FailTag("GrayFrameErr1");
    default:
      std::snprintf(text, sizeof text,
                    "The frame name at offset %lld is longer than 48 characters.",
                    static_cast<long long>(r.fault_offset));
      FailBox(text, "Exiting...", platform::kBoxSystemModalError);
  }
}

}  // namespace

void TakeSettings(Player& p) {
  if (!ReadSettings(p.movie, &p.settings)) FailTag("NoFlowEx1");
}

void IndexMovie(Player& p) {
  if (p.movie.kind == MovieKind::kExternalPair) Say(" Using 'demoFlow.txt'\n");
  const FileStamp stamp = StampOf(p.movie.flow_path);
  const IndexResult r = BuildFrameIndex(p.movie, &p.index, p.canvases.InactiveCanvas.pixels);
  if (r.fault != IndexFault::kNone) FailIndex(p.movie, r);
  if (r.stopped_at_limit) Say("Indexing stopped at %d frames\n", kMaxFrames);
  SettleInactiveLook(&p.settings, r.has_inactive);
  p.index_stamp = stamp;
}

void Reindex(Player& p) {
  p.ForgetHeldRows();
  Say("Reloading Offsets... \n");
  RefreshLayout(&p.movie);
  p.flow.close();
  IndexMovie(p);
  Say(" Done\n");
}

void FollowRewrittenFlow(Player& p) {
  const FileStamp now = StampOf(p.movie.flow_path);
  if (now.bytes < 0) FailTag("No file '%s'", p.movie.flow_path.c_str());
  if (now == p.movie.flow_stamp && p.flow.is_open()) return;
  // Another movie in the flow's place may put its flow and its stack
  // anywhere: nothing read from the old one's layout is trusted.
  if (now != p.movie.flow_stamp) RefreshLayout(&p.movie);
  if (!p.flow.open(p.movie.flow_path.c_str())) FailTag("No file '%s'", p.movie.flow_path.c_str());
}

bool FlowChangedSinceIndex(const Player& p) {
  const FileStamp now = StampOf(p.movie.flow_path);
  return now.bytes >= 0 && now != p.index_stamp;
}
