// Finds the movie: appended to the player's own file after the marker line,
// else a "*.QVM" file in the current directory (the viewer picks one when there
// are several), else the pair "demoFlow.txt" + "demoStack.kts". The layout is
// read by ReadLayout; here its faults become the player's boxes and tags.
#pragma once
#include "movie/movie_source.h"

// Ends the process with a message on any failure, so a return is a movie.
MovieSource LocateMovie();

// Reads the movie's layout again, from the same files, as the movie may have
// been rewritten since; a layout that fails now ends the process as it would
// at start-up.
void RefreshLayout(MovieSource* movie);

// The open-file dialog. Writes the bare chosen name (at most 96 characters)
// into name (at least 97 bytes) and returns its length; ends the process with
// code 0 when the viewer cancels.
int ChooseMovieFile(char* name);
