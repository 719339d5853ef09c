// qvm bundle: the player's bytes, the marker line, then the movie file. The
// player takes the first marker its search meets, so the join is proved by
// running that very search over the bytes before anything is written.
#include <cstdint>
#include <cstdio>
#include <stdexcept>

#include "movie/movie_layout.h"
#include "qvm/bundle_bytes.h"
#include "qvm/cli_args.h"
#include "qvm/commands.h"
#include "qvm/movie_file.h"
#include "qvm/movie_writer.h"
#include "qvm/output_file.h"
#include "qvm/stack_order.h"
#include "qvm/zip_file.h"

namespace {

MovieSource RequireMovieFile(const std::string& path) {
  MovieFile movie = OpenMovieFile(path);
  if (movie.movie.kind != MovieKind::kMovieFile) {
    throw std::runtime_error(path + " is not a movie file of its own (" +
                             LayoutName(movie.movie.kind) + ")");
  }
  RequirePlayable(movie);
  return movie.movie;
}

}  // namespace

int RunBundle(int argc, char** argv) {
  CommandArgs args = ParseCommandArgs(argc, argv, {"-o"}, {"--zip"});
  if (args.plain.size() != 2 || !args.has("-o")) {
    throw std::runtime_error("usage: qvm bundle PLAYER.exe MOVIE.QVM -o OUT.exe [--zip]");
  }
  const std::string player = ReadWhole(args.plain[0]);
  if (player.find(MarkerLine()) != std::string::npos) {
    throw std::runtime_error(args.plain[0] +
                             " already holds the marker line; the player would take what follows it");
  }
  const MovieSource layout = RequireMovieFile(args.plain[1]);
  std::string movie = ReadWhole(args.plain[1]);
  // A movie made elsewhere may keep its rows in any order; the hand-out zips
  // smallest sorted. One whose row lists cannot be renumbered goes as it is.
  const bool sorted = ReorderMovieFile(layout, &movie);
  const std::string bundle = BundleBytes(player, movie);
  const size_t separator = bundle.size() - player.size() - MarkerLine().size() - 2 - movie.size();
  const int64_t total = int64_t(bundle.size());
  if (total > INT32_MAX) {
    throw std::runtime_error("the bundle would pass 2147483647 bytes, beyond the player's offsets");
  }
  OutputFile out(args.value("-o"));
  out.Write(bundle);
  out.Commit();
  // The written file is searched again, as the player will search it.
  MovieFile written = OpenMovieFile(args.value("-o"));
  if (written.movie.kind != MovieKind::kAppended ||
      written.movie.FirstFlowByte != int64_t(player.size() + separator) + 94) {
    throw std::runtime_error(args.value("-o") + ": the player would not find the movie");
  }
  std::printf("%s: player %lld bytes, marker line at offset %lld%s, %lld bytes in all%s\n",
              args.value("-o").c_str(), static_cast<long long>(player.size()),
              static_cast<long long>(player.size() + separator),
              separator == 0 ? "" : " (after a separating line feed)",
              static_cast<long long>(total), sorted ? "" : "; the stack kept its order");
  if (args.has("--zip")) {
    const std::string zip = ZipPathFor(args.value("-o"));
    const int64_t zipped = ZipOneFile(args.value("-o"), zip);
    std::printf("%s: %lld bytes\n", zip.c_str(), static_cast<long long>(zipped));
  }
  return 0;
}
