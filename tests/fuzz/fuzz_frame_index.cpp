// A whole movie file of any bytes: the frame index, then the file side of a
// presentation of a few of its frames.
#include "fuzz_support.h"
#include "movie/frame_index.h"
#include "movie/movie_layout.h"
#include "player/geometry.h"
#include "player/render_frame.h"

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
  // The layout as the player reads it; a file without an end byte is read as
  // a flow to its end, and a width the player would refuse as 1, so that the
  // index and the presentation see every input.
  ReadLayout(MovieKind::kMovieFile, "movie.QVM", "movie.QVM", &p->movie);
  if (p->movie.LastFlowByte < 0) p->movie.LastFlowByte = int64_t(size);
  if (p->movie.StackWid < 1 || p->movie.StackWid > kMaxStackWid) p->movie.StackWid = 1;
  p->canvases = canvases;
  fuzz::Run([&] {
    BuildFrameIndex(p->movie, &p->index, canvases.InactiveCanvas.pixels);
    FetchedFrame frame;
    for (int32_t n = 0; n <= p->index.LastFrame && n < 4; ++n) FetchFrame(*p, n, &frame);
    if (p->index.LastFrame >= 0) FetchFrame(*p, p->index.LastFrame, &frame);
  });
  return 0;
}
