// Rebuilds a frame as the player composes it at scale 1:1: the frame index
// pass (frame lines up to "StopReading", inactive pictures loaded in turn over
// black), the frame's rows fetched from the stack, and, for the look of a
// window in the background, the inactive picture with the live rectangle.
#pragma once
#include <cstdint>

#include "qvm/movie_file.h"
#include "qvm/movie_writer.h"

// Throws std::runtime_error for a frame the player cannot show: no such
// frame, no row list after its frame line, or no rows to make a picture of.
Picture RenderFrame(const MovieFile& movie, int64_t frame, bool inactive_look);
