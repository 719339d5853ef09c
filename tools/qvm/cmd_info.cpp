// qvm info: what a movie holds, as "Name: value" lines, then every problem
// with the offset of its line. Exits 1 when the player would refuse, clip or
// misread the movie; warnings alone leave it playable.
#include <cstdio>
#include <stdexcept>

#include "qvm/cli_args.h"
#include "qvm/commands.h"
#include "qvm/movie_check.h"
#include "qvm/movie_file.h"

namespace {

void Field(const char* name, long long value) { std::printf("%s: %lld\n", name, value); }

int64_t DiskBytes(const MovieSource& m) {
  return m.kind == MovieKind::kExternalPair ? m.flow_stamp.bytes + m.stack_file_bytes
                                            : m.flow_stamp.bytes;
}

void PrintFields(const MovieFile& file, const MovieReport& r) {
  const MovieSource& m = file.movie;
  std::printf("Layout: %s\n", LayoutName(m.kind));
  if (m.kind == MovieKind::kAppended) Field("Player bytes", m.marker_offset);
  Field("FirstFlowByte", m.FirstFlowByte);
  Field("LastFlowByte", m.LastFlowByte);
  Field("FirstStackByte", file.has_end() ? m.FirstStackByte : -1);
  Field("StackWid", m.StackWid);
  Field("MaxFrameHgt", m.MaxFrameHgt);
  Field("Frames", r.frames);
  Field("Row references", r.row_refs);
  Field("Unique rows referenced", r.unique_rows);
  Field("Stack rows held", r.stack_rows);
  Field("File bytes", DiskBytes(m));
  if (m.kind == MovieKind::kAppended) Field("Movie bytes", DiskBytes(m) - m.marker_offset);
  Field("Raw frame bytes", r.raw_frame_bytes);
}

}  // namespace

int RunInfo(int argc, char** argv) {
  CommandArgs args = ParseCommandArgs(argc, argv, {}, {});
  if (args.plain.size() != 1) throw std::runtime_error("usage: qvm info FILE");
  const MovieFile movie = OpenMovieFile(args.plain[0]);
  const MovieReport report = CheckMovie(movie);
  PrintFields(movie, report);
  for (const Finding& f : report.findings) {
    std::printf("%s at offset %lld: %s\n", f.warning ? "warning" : "problem",
                static_cast<long long>(f.offset), f.text.c_str());
  }
  Field("Problems", report.problems());
  Field("Warnings", int64_t(report.findings.size()) - report.problems());
  return report.problems() == 0 ? 0 : 1;
}
