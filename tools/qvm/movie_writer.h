// Writes movies: header lines, one frame record per picture, the end byte, the
// width field and a stack of unique rows. qvm and the tests make every movie
// with this code, so no binary movie needs to be kept in the repository.
#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "movie/timing_line.h"

// A picture in the stack's pixel order: rows top-down, width * 3 bytes each,
// blue, green, red.
struct Picture {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> bgr;
  uint8_t* row(int32_t y) { return bgr.data() + size_t(y) * width * 3; }
  const uint8_t* row(int32_t y) const { return bgr.data() + size_t(y) * width * 3; }
};
Picture MakePicture(int32_t width, int32_t height, uint32_t rgb = 0);

struct FramePlan {
  Picture picture;
  TimingLine timing = {100, false, {}};
};

struct MoviePlan {
  std::vector<std::string> header;  // lines written verbatim before the frames
  std::vector<FramePlan> frames;
  bool has_inactive = false;        // an "InactiveFrame" record before frame 0
  Picture inactive;
  int32_t stop_reading_before = -1; // a "StopReading" line before this frame
  std::string line_end = "\r\n";
};

struct MovieBytes {
  std::string flow;   // from the first header line to the closing line's end
  std::string stack;  // the unique rows
  int32_t width = 0;
  int32_t frame_count = 0;
  int64_t row_refs = 0;
  int32_t unique_rows = 0;
};

// The four base-80 characters of a row index.
std::string EncodeRowIndex(int32_t index);
std::string FrameName(int32_t n);  // "000000", "000001", ...
std::string TimingLineFor(const TimingLine& t);

// Throws std::runtime_error with a clear message when a picture breaks the
// data model's limits (width 1 to 3000, at most 2400 rows, all one width).
MovieBytes EncodeMovie(const MoviePlan& plan);

// The same encoding one record at a time, so a long movie never holds all its
// pictures at once. The first picture added sets the movie's width; every
// method throws std::runtime_error as EncodeMovie does.
class MovieEncoder {
 public:
  explicit MovieEncoder(const std::vector<std::string>& header,
                        const std::string& line_end = "\r\n");
  void AddInactive(const Picture& picture);  // an "InactiveFrame" record
  void AddInactiveRows(const std::vector<int32_t>& rows);  // the same, of the caller's rows
  void AddStopReading();
  void AddFrame(const FramePlan& frame);
  // A frame record of rows the caller keeps in a stack of its own.
  void AddFrameRows(const std::vector<int32_t>& rows, const TimingLine& timing);
  int32_t frame_count() const { return out_.frame_count; }
  size_t flow_bytes() const { return out_.flow.size(); }
  // Adds the closing line and hands the movie over; the encoder is spent.
  MovieBytes Finish();

 private:
  std::string RowList(const Picture& picture);
  void AddRecord(const std::string& row_list, const TimingLine& timing);
  void TakeWidth(const Picture& picture, const std::string& what);

  MovieBytes out_;
  std::string eol_;
  std::unordered_map<std::string, int32_t> row_index_;
};

// The end byte and the width field, between the flow and the stack.
std::string FlowEnd(int32_t width);
// The layouts: a movie file of its own, and the bytes appended to a player.
std::string MovieFileBytes(const MovieBytes& m);
std::string AppendedBytes(const MovieBytes& m);  // marker line + movie file bytes
std::string MarkerLine();                        // the 94 characters "!" to "~"

bool WriteFile(const std::string& path, const std::string& bytes);
// The whole file; throws std::runtime_error when it cannot be read.
std::string ReadWhole(const std::string& path);
