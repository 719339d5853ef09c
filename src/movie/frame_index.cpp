#include "movie/frame_index.h"

#include "movie/flow_text.h"
#include "movie/line_reader.h"
#include "movie/row_list.h"

namespace {

// Skips the rest of a line that was too long for the buffer.
void SkipRestOfLine(LineReader* flow, char* line) {
  while (!flow->ended() && flow->read(line, kLineSize)) {
  }
}

// The stack is opened before the row list is read, so a movie whose stack is
// missing says so even when its row list is malformed.
IndexFault LoadInactiveRecord(const MovieSource& movie, LineReader* flow, char* line,
                              uint8_t* inactive_pixels) {
  StackFile stack;
  if (!stack.open(movie.stack_path.c_str())) return IndexFault::kNoStack;
  if (!flow->read(line, kLineSize) || line[0] != '$') return IndexFault::kInactiveNotRows;
  LoadRowList(line, stack, movie.StackWid, movie.FirstStackByte, inactive_pixels);
  SkipRestOfLine(flow, line);
  return IndexFault::kNone;
}

}  // namespace

IndexResult BuildFrameIndex(const MovieSource& movie, FrameIndex* index, uint8_t* inactive_pixels) {
  IndexResult r;
  index->IndexingDone = 0;
  LineReader flow;
  if (!flow.open(movie.flow_path.c_str()) || !flow.seek(movie.FirstFlowByte)) {
    r.fault = IndexFault::kNoFlow;
    return r;
  }
  static char line[kLineSize];
  bool more = flow.read(line, kLineSize);
  int32_t count = 0;
  while (more && flow.position() < movie.LastFlowByte) {
    if (MatchesKeyword(line, "StopReading")) break;
    if (line[0] == '~') {
      if (count == kMaxFrames) {
        r.stopped_at_limit = true;
        break;
      }
      // A cut name could never be confirmed against its frame line, and
      // every request for the frame would index the movie again.
      if (FrameNameLength(line) > kMaxFrameName) {
        r.fault = IndexFault::kLongName;
        r.fault_offset = flow.line_offset();
        return r;
      }
      CopyText(line + 1, index->names[count], kMaxFrameName);
      index->offsets[count] = static_cast<int32_t>(flow.line_offset());
      ++count;
    } else if (MatchesKeyword(line, "InactiveFrame")) {
      r.fault = LoadInactiveRecord(movie, &flow, line, inactive_pixels);
      if (r.fault != IndexFault::kNone) return r;
      r.has_inactive = true;
    }
    more = flow.read(line, kLineSize);
  }
  index->LastFrame = count - 1;
  index->IndexingDone = 2;
  return r;
}
