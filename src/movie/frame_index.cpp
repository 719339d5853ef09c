#include "movie/frame_index.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "movie/flow_text.h"
#include "movie/line_reader.h"
#include "movie/row_list.h"
#include "platform/failure.h"
#include "platform/platform.h"

namespace {

// Skips the rest of a line that was too long for the buffer.
void SkipRestOfLine(LineReader* flow, char* line) {
  while (!flow->ended() && flow->read(line, kLineSize)) {
  }
}

// A cut name could never be confirmed against its frame line, and every
// request for the frame would index the movie again.
[[noreturn]] void RefuseLongName(int64_t offset) {
  char text[128];
  std::snprintf(text, sizeof text,
                "The frame name at offset %lld is longer than 48 characters.",
                static_cast<long long>(offset));
  FailBox(text, "Exiting...", platform::kBoxSystemModalError);
}

int32_t LoadInactiveRecord(const MovieSource& movie, LineReader* flow, char* line,
                           uint8_t* inactive_pixels) {
  StackFile stack;
  if (!stack.open(movie.stack_path)) FailTag("No file '%s'", movie.stack_path);
  if (!flow->read(line, kLineSize) || line[0] != '$') FailTag("GrayFrameErr1");
  int32_t rows = LoadRowList(line, stack, movie.StackWid, movie.FirstStackByte, inactive_pixels);
  SkipRestOfLine(flow, line);
  return rows;
}

}  // namespace

void BuildFrameIndex(MovieSource* movie, PlayerSettings* settings, FrameIndex* index,
                     uint8_t* inactive_pixels) {
  index->IndexingDone = 0;
  if (std::strcmp(movie->flow_path, "demoFlow.txt") == 0) {
    Say(" Using 'demoFlow.txt'\n");
    struct stat st;
    if (stat("demoFlow.txt", &st) != 0) FailTag("No 'DemoFlow.txt'");
    movie->LastFlowByte = st.st_size > INT32_MAX ? INT32_MAX : static_cast<int32_t>(st.st_size);
  }
  LineReader flow;
  if (!flow.open(movie->flow_path) || !flow.seek(movie->FirstFlowByte)) FailTag("NoFlowLO1");
  static char line[kLineSize];
  bool more = flow.read(line, kLineSize);
  int32_t count = 0;
  int32_t inactive_rows = -1;
  while (more && flow.position() < movie->LastFlowByte) {
    if (MatchesKeyword(line, "StopReading")) break;
    if (line[0] == '~') {
      if (count == kMaxFrames) {
        Say("Indexing stopped at %d frames\n", kMaxFrames);
        break;
      }
      if (FrameNameLength(line) > kMaxFrameName) RefuseLongName(flow.line_offset());
      CopyText(line + 1, index->names[count], kMaxFrameName);
      index->offsets[count] = static_cast<int32_t>(flow.line_offset());
      ++count;
    } else if (MatchesKeyword(line, "InactiveFrame")) {
      inactive_rows = LoadInactiveRecord(*movie, &flow, line, inactive_pixels);
    }
    more = flow.read(line, kLineSize);
  }
  flow.close();
  index->LastFrame = count - 1;
  index->IndexingDone = 2;
  if (inactive_rows == -1) settings->inactive_x = -1;
}
