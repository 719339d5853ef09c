// qvm build --video: a recording in, one movie file out.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "qvm/cli_args.h"
#include "qvm/video_timeline.h"

// The options of qvm build that only a recording takes.
extern const char* const kVideoOptions[9];

// "12", "12.5", "0.040": seconds, to the millisecond; throws otherwise.
int64_t ParseSeconds(const std::string& text, const std::string& what);
// "T:X1,Y1,X2,Y2", T in seconds as above; throws otherwise.
VideoClick ParseClick(const std::string& text, const std::string& what);
// One click a line; blank lines and lines beginning with '#' are skipped.
std::vector<VideoClick> ReadClickFile(const std::string& path);

class OutputFile;
// Writes a movie file: the flow, the width field and the rows in the order
// that zips smallest, the flow's row lists renumbered to match. A movie that
// would pass the player's 32-bit offsets is refused, advice added.
void WriteSortedMovie(OutputFile* out, std::string flow, int32_t width, int32_t rows,
                      const std::function<const uint8_t*(int32_t)>& row_at, const char* advice);

// Runs the whole build and returns the exit code; throws std::runtime_error
// with the message to show, leaving no movie behind.
int BuildFromVideo(const CommandArgs& args);
