// The bytes of a hand-out: the player, the marker line, then the movie file,
// joined so that the player's own marker search finds the movie.
#pragma once
#include <string>

// Throws std::runtime_error when the player already holds the marker line or
// the marker cannot be placed where the player finds it.
std::string BundleBytes(const std::string& player, const std::string& movie_file);
