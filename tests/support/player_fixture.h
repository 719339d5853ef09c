// A player over a movie written to a temporary directory, with its index
// built and the fake platform reset: the starting point of playback tests.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "player/player.h"
#include "qvm/movie_writer.h"
#include "support/fake_platform.h"

// What f writes to standard output; *exit_code is the code of the program's end
// inside f, or -1 when f returns.
template <typename F>
std::string Console(F f, int* exit_code = nullptr) {
  testing::internal::CaptureStdout();
  int code = -1;
  try {
    f();
  } catch (const fake::Exited& e) {
    code = e.code;
  }
  if (exit_code) *exit_code = code;
  return testing::internal::GetCapturedStdout();
}

// Canvases shared by all tests of a process: each is 21.6 MB.
Canvases& SharedCanvases();

// Writes the movie as "movie.QVM" in dir and fills a MovieSource for it.
MovieSource WriteMovieFile(const std::string& dir, const MovieBytes& bytes);

// Writes `before` + `flow` as "movie.QVM" in a fresh directory and gives the
// flow's place in it: `before` stands for whatever precedes the flow (a player
// image); LastFlowByte is the end of the file unless given.
MovieSource WriteFlowFile(const std::string& flow, const std::string& before = "",
                          int32_t last = -1);

// A player for the movie: settings read, geometry computed, start-up choices
// made, index built, canvases cleared. Standard output of those steps is swallowed.
std::unique_ptr<Player> MakePlayer(const std::string& dir, const MovieBytes& bytes);

// The picture now in a canvas: rows 0 .. hgt-1, wid pixels each.
Picture CanvasPicture(const platform::Canvas& canvas, int32_t wid, int32_t hgt);
