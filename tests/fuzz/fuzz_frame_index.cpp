// A whole movie file of any bytes: the frame index, then the file side of a
// presentation of a few of its frames.
#include <cstring>

#include "fuzz_support.h"
#include "movie/frame_index.h"
#include "player/geometry.h"
#include "player/show_frame.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Canvases canvases = CreateCanvases();
  fuzz::WriteInput("movie.QVM", data, size);
  fake::Reset();
  // One player for every run (its tables are large); what a run leaves behind
  // is reset here.
  static Player* p = new Player;
  p->stack.close();
  p->flow.close();
  p->ForgetHeldRows();
  p->settings = PlayerSettings();
  p->movie = MovieSource();
  std::snprintf(p->movie.flow_path, kPathSize, "movie.QVM");
  std::snprintf(p->movie.stack_path, kPathSize, "movie.QVM");
  const uint8_t* end = static_cast<const uint8_t*>(std::memchr(data, 0xFF, size));
  p->movie.LastFlowByte = end ? int32_t(end - data) : int32_t(size);
  p->movie.FirstStackByte = p->movie.LastFlowByte + 3;
  p->movie.StackWid = end && end + 2 < data + size ? end[1] * 256 + end[2] : 1;
  if (p->movie.StackWid < 1 || p->movie.StackWid > kMaxStackWid) p->movie.StackWid = 1;
  p->canvases = canvases;
  fuzz::Run([&] {
    BuildFrameIndex(&p->movie, &p->settings, &p->index, canvases.InactiveCanvas.pixels);
    FetchedFrame frame;
    for (int32_t n = 0; n <= p->index.LastFrame && n < 4; ++n) FetchFrame(*p, n, &frame);
    if (p->index.LastFrame >= 0) FetchFrame(*p, p->index.LastFrame, &frame);
  });
  return 0;
}
