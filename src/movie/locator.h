// Finds the movie: appended to the player's own file after the marker line,
// else a "*.QVM" file in the current directory (the viewer picks one when there
// are several), else the pair "demoFlow.txt" + "demoStack.kts".
#pragma once
#include <cstdint>
#include <cstdio>

#include "movie/movie_source.h"

// Ends the process with a message on any failure, so a return is a movie.
MovieSource LocateMovie();

// The open-file dialog. Writes the bare chosen name (at most 96 characters)
// into name (at least 97 bytes) and returns its length; ends the process with
// code 0 when the viewer cancels.
int ChooseMovieFile(char* name);

// Rows named by the first row list in the flow between first and last (the
// flow's end), or -1 when the flow holds none.
int32_t FirstRowListRows(const char* flow_path, int32_t first, int32_t last);

// Marker search over an open binary stream, from its current position: true
// when the 94 characters "!" to "~" were met in a row; the stream then stands
// right after the "~". A byte that breaks a partial match is not tested again
// as the marker's first byte.
bool FindMarker(std::FILE* file);
