// Reading a movie into a draft and writing a draft as a movie file. The flow
// is read line by line as the player's index reads it: a frame record is a
// frame line, its row list and its timing line.
#include "author/movie_draft.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "movie/flow_text.h"
#include "movie/row_list.h"
#include "qvm/build_inputs.h"
#include "qvm/movie_writer.h"
#include "qvm/stack_order.h"

namespace {

std::string ReadRange(const std::string& path, int64_t offset, int64_t count) {
  std::string bytes;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return bytes;
  if (std::fseek(f, 0, SEEK_END) == 0) bytes.reserve(size_t(std::max<int64_t>(0, std::min<int64_t>(count, std::ftell(f) - offset))));
  if (std::fseek(f, long(offset), SEEK_SET) == 0) {
    char buf[65536];
    size_t n;
    while (count > 0 && (n = std::fread(buf, 1, size_t(std::min<int64_t>(count, sizeof buf)), f)) > 0) {
      bytes.append(buf, n);
      count -= int64_t(n);
    }
  }
  std::fclose(f);
  return bytes;
}

// The rows a row list names; "" or what is wrong.
std::string RowsOf(const std::string& list, int32_t stack_rows, std::vector<int32_t>* rows) {
  if (list.empty() || list[0] != '$') return "a frame has no row list";
  if ((list.size() - 1) % 4 != 0 || list.size() < 5) return "a row list is not whole rows";
  for (size_t i = 1; i + 4 <= list.size(); i += 4) {
    const int32_t r = RowIndex(list.c_str() + i);
    if (r < 0) return "a row list holds a character outside + to z";
    if (r >= stack_rows) return "a row list names a row beyond the stack";
    rows->push_back(r);
  }
  if (rows->size() > size_t(kMaxRows)) rows->resize(size_t(kMaxRows));
  return "";
}

bool IsRecord(const std::string& line) {
  return (!line.empty() && line[0] == '~') || MatchesKeyword(line.c_str(), "InactiveFrame") ||
         MatchesKeyword(line.c_str(), "StopReading");
}

}  // namespace

std::string ReadDraft(const MovieSource& movie, MovieDraft* draft) {
  *draft = MovieDraft();
  draft->width = movie.StackWid;
  if (draft->width < 1 || draft->width > kMaxStackWid) return "the movie's width is not 1 to 3000";
  std::string flow = ReadRange(movie.flow_path, movie.FirstFlowByte, movie.LastFlowByte - movie.FirstFlowByte);
  // In a player's own file the flow begins right after the marker, at the
  // marker line's end, which belongs to the join and not to the header.
  if (movie.kind == MovieKind::kAppended) flow.erase(0, flow.compare(0, 2, "\r\n") == 0 ? 2 : flow.compare(0, 1, "\n") == 0 ? 1 : 0);
  draft->stack = ReadRange(movie.stack_path, movie.FirstStackByte, INT64_MAX);
  const size_t row_bytes = size_t(draft->width) * 3;
  draft->stack.resize(draft->stack.size() / row_bytes * row_bytes);
  const std::vector<std::string> lines = LinesOf(flow);
  size_t n = 0;
  for (; n < lines.size() && !IsRecord(lines[n]); ++n) draft->header.push_back(lines[n]);
  while (n < lines.size()) {
    const std::string& line = lines[n++];
    if (MatchesKeyword(line.c_str(), "StopReading")) break;
    const bool inactive = MatchesKeyword(line.c_str(), "InactiveFrame");
    if (!inactive && (line.empty() || line[0] != '~')) continue;
    std::vector<int32_t> rows;
    const std::string fault = RowsOf(n < lines.size() ? lines[n] : "", draft->stack_rows(), &rows);
    if (!fault.empty()) return fault + " (line " + std::to_string(n + 1) + " of the flow)";
    ++n;
    draft->pictures.push_back(rows);
    const int32_t picture = int32_t(draft->pictures.size() - 1);
    if (inactive) {
      draft->inactive = picture;
      continue;
    }
    DraftFrame frame;
    frame.picture = picture;
    // A record that ends at its row list reads as delay 0.
    if (n < lines.size() && !IsRecord(lines[n])) frame.timing = ReadTimingLine(lines[n++].c_str());
    draft->frames.push_back(frame);
    if (draft->frames.size() >= size_t(kMaxFrames)) break;
  }
  if (draft->frames.empty()) return "the movie has no frames";
  return "";
}

std::string DraftMovieFile(const MovieDraft& draft) {
  if (draft.frames.empty()) throw std::runtime_error("a movie needs at least one frame");
  // Only the rows still named, numbered as first named; the sort renumbers them.
  std::vector<int32_t> kept(size_t(draft.stack_rows()), -1);
  MovieBytes movie;
  movie.stack.reserve(draft.stack.size());
  auto list_of = [&](const std::vector<int32_t>& rows) {
    std::vector<int32_t> list;
    for (int32_t r : rows) {
      if (kept[size_t(r)] < 0) {
        kept[size_t(r)] = int32_t(movie.stack.size() / (size_t(draft.width) * 3));
        movie.stack.append(reinterpret_cast<const char*>(draft.row(r)), size_t(draft.width) * 3);
      }
      list.push_back(kept[size_t(r)]);
    }
    return list;
  };
  MovieEncoder encoder(draft.header);
  if (draft.inactive >= 0) encoder.AddInactiveRows(list_of(draft.pictures[size_t(draft.inactive)]));
  for (const DraftFrame& f : draft.frames) encoder.AddFrameRows(list_of(draft.pictures[size_t(f.picture)]), f.timing);
  MovieBytes encoded = encoder.Finish();
  encoded.stack = std::move(movie.stack);
  encoded.width = draft.width;
  if (!ReorderStack(&encoded)) throw std::runtime_error("the movie's rows cannot be sorted");
  std::string file;
  file.reserve(encoded.flow.size() + 3 + encoded.stack.size());
  file += encoded.flow;
  file += FlowEnd(encoded.width);
  file += encoded.stack;
  return file;
}
