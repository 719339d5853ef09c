// qvm frame: one frame as a PNG, exactly as the player composes it at scale
// 1:1, from a movie file, a bundled player or the external pair.
#include <cstdio>
#include <stdexcept>

#include "qvm/cli_args.h"
#include "qvm/commands.h"
#include "qvm/frame_render.h"
#include "qvm/movie_file.h"
#include "qvm/png_io.h"

int RunFrame(int argc, char** argv) {
  CommandArgs args = ParseCommandArgs(argc, argv, {"-o"}, {"--inactive"});
  if (args.plain.size() != 2 || !args.has("-o")) {
    throw std::runtime_error("usage: qvm frame MOVIE N -o OUT.png [--inactive]");
  }
  const MovieFile movie = OpenMovieFile(args.plain[0]);
  const int32_t n = ParseCount(args.plain[1], "the frame number");
  const Picture picture = RenderFrame(movie, n, args.has("--inactive"));
  std::string error;
  if (!WritePng(args.value("-o"), picture, &error)) {
    throw std::runtime_error(args.value("-o") + ": " + error);
  }
  std::printf("%s: frame %d, %d x %d\n", args.value("-o").c_str(), int(n), int(picture.width),
              int(picture.height));
  return 0;
}
