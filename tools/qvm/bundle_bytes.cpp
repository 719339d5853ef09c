// The player takes the first marker its search meets, so the join is proved
// by running that very search over the bytes.
#include "qvm/bundle_bytes.h"

#include <cstdio>
#include <stdexcept>

#include "movie/movie_layout.h"
#include "qvm/movie_writer.h"

namespace {

// Where the player's marker search stops over these bytes: just past the
// marker's "~", or -1 when it finds none.
int64_t MarkerSearchEnd(const std::string& bytes) {
  std::FILE* stream = fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "rb");
  if (!stream) throw std::runtime_error("cannot scan the player in memory");
  const int64_t end = FindMarker(stream);
  std::fclose(stream);
  return end;
}

// Nothing, or one byte to put between player and marker. A player that ends
// in the marker's first characters ("!", "!\"", ...) would have the search
// take the appended marker as the continuation of that run; it breaks the run
// on the marker's own "!" and, since that byte is not tried again as a first
// character, misses the marker altogether. A line feed breaks the run first.
std::string Separator(const std::string& player) {
  const std::string marker = MarkerLine();
  for (const std::string separator : {"", "\n"}) {
    const std::string joined = player + separator + marker;
    if (MarkerSearchEnd(joined) == int64_t(joined.size())) return separator;
  }
  throw std::runtime_error("the marker cannot be placed where the player finds it");
}

}  // namespace

std::string BundleBytes(const std::string& player, const std::string& movie_file) {
  if (player.find(MarkerLine()) != std::string::npos) {
    throw std::runtime_error("the player already holds the marker line; it would take what follows it");
  }
  return player + Separator(player) + MarkerLine() + "\r\n" + movie_file;
}
