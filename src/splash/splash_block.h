// The movie's own splash text: the lines between "SplashText" and
// "EndSplashText" in the flow's header, each giving its font height in its
// first three characters and its text from the fifth.
#pragma once
#include <cstdint>

#include "movie/movie_source.h"

// The height a splash line asks for: the number at the start of its first
// three characters as atoi reads it; 4 or less becomes 5.
int32_t SplashLineHeight(const char* line);

// Reads the splash block from the flow and draws each line centred, from
// y 15 down. Ends the process with "NoFlowS1" when the flow cannot be read.
void DrawSplashBlock(const MovieSource& movie);
