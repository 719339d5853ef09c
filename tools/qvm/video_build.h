// qvm build --video: a recording in, one movie file out.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "qvm/cli_args.h"

// The options of qvm build that only a recording takes.
extern const char* const kVideoOptions[10];

class OutputFile;
// Writes a movie file: the flow, the width field and the rows in the order
// that zips smallest, the flow's row lists renumbered to match. A movie that
// would pass the player's 32-bit offsets is refused, advice added.
void WriteSortedMovie(OutputFile* out, std::string flow, int32_t width, int32_t rows,
                      const std::function<const uint8_t*(int32_t)>& row_at, const char* advice);

// Runs the whole build and returns the exit code; throws std::runtime_error
// with the message to show, leaving no movie behind.
int BuildFromVideo(const CommandArgs& args);
