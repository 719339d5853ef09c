#include "qvm/flow_lines.h"

bool FlowLines::open(const std::string& path, int64_t first, int64_t last) {
  last_ = last;
  return reader_.open(path.c_str()) && reader_.seek(first);
}

bool FlowLines::next(FlowLine* line) {
  if (!reader_.is_open() || reader_.position() >= last_) return false;
  if (!reader_.read(piece_.data(), int(piece_.size()))) return false;
  line->offset = reader_.line_offset();
  line->text.assign(piece_.data(), size_t(reader_.length()));
  line->length = reader_.length();
  while (!reader_.ended() && reader_.read(piece_.data(), int(piece_.size()))) {
    line->length += reader_.length();
  }
  const int64_t end = reader_.position();
  line->end_bytes = reader_.ended() ? int(end - line->offset - line->length) : 0;
  // A line that runs past the flow's end is cut there: the end byte and the
  // stack are not part of it, and it has no line end of its own.
  if (end > last_) {
    line->length = last_ - line->offset;
    if (int64_t(line->text.size()) > line->length) line->text.resize(size_t(line->length));
    line->end_bytes = 0;
  }
  return true;
}
