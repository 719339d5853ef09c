// The one reader of a movie's layout: where its flow and stack lie, how wide
// its rows are and how many rows its first row list names. It computes in 64
// bits, ends nothing and shows nothing: it fills in what it could read and
// returns the first fault in the order the player meets them, for the caller
// to show (the player's locator a box or a tag, qvm a line of text).
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

#include "movie/movie_source.h"

enum class LayoutFault {
  kNone,
  kNoFile,         // the file that holds the flow is not there
  kNoMarker,       // a player's own file without an appended movie
  kNoEndByte,      // no 0xFF after the flow
  kBeyondOffsets,  // the flow ends beyond the player's 32-bit offsets
  kNoStack,        // the stack file cannot be opened
  kNoFlow,         // the flow file cannot be opened
  kNoRowList,      // no line beginning with "$" in the flow
  kWidth,          // StackWid outside 1 to 3000
  kRows,           // MaxFrameHgt outside 1 to 2400
};

// Reads the layout of a movie of the given kind. flow_path and stack_path are
// the same file except for the external pair. For a player's own file the
// flow begins right after the marker line.
LayoutFault ReadLayout(MovieKind kind, const std::string& flow_path,
                       const std::string& stack_path, MovieSource* movie);

// The file name of a path: the text after its last separator (a backslash
// in the player's own Windows paths, a slash in qvm's and the page's).
std::string BareName(const std::string& path, char separator = '/');

// A fault as qvm reports it, in words.
std::string LayoutFaultText(LayoutFault fault, const MovieSource& movie);

// Marker search over an open binary stream, from its current position: the
// number of bytes read up to and including the marker's "~", or -1 when the 94
// characters "!" to "~" were not met in a row. A byte that breaks a partial
// match is not tested again as the marker's first byte.
int64_t FindMarker(std::FILE* file);
