// The qvm commands. Each takes the arguments after its own name, writes its
// results and returns the exit code; a failure throws std::runtime_error with
// the message main shows on standard error.
#pragma once
#include <cstdint>

#include "qvm/movie_file.h"
#include "qvm/movie_writer.h"

int RunBuild(int argc, char** argv);
int RunBundle(int argc, char** argv);
int RunPair(int argc, char** argv);
int RunInfo(int argc, char** argv);
int RunFrame(int argc, char** argv);
int RunHtml(int argc, char** argv);

// Frame n of a movie as the player shows it at 1:1 (qvm frame, the page's
// poster); throws std::runtime_error for a frame the player cannot show.
Picture FramePicture(const MovieFile& file, int64_t n, bool inactive_look);
