#include "support/player_fixture.h"

#include <gtest/gtest.h>

#include <cstring>

#include "movie/movie_layout.h"
#include "player/movie_readers.h"
#include "player/geometry.h"
#include "player/start_up.h"
#include "support/fake_platform.h"
#include "support/movie_maker.h"

Canvases& SharedCanvases() {
  static Canvases canvases = CreateCanvases();
  return canvases;
}

MovieSource WriteMovieFile(const std::string& dir, const MovieBytes& bytes) {
  std::string path = dir + "/movie.QVM";
  EXPECT_TRUE(WriteFile(path, MovieFileBytes(bytes)));
  MovieSource m;
  // Movies made to be damaged may break a limit; they are read all the same.
  ReadLayout(MovieKind::kMovieFile, path, path, &m);
  return m;
}

MovieSource WriteFlowFile(const std::string& flow, const std::string& before, int32_t last) {
  std::string path = TempDir("flow") + "/movie.QVM";
  EXPECT_TRUE(WriteFile(path, before + flow));
  MovieSource m;
  m.flow_path = path;
  m.FirstFlowByte = int32_t(before.size());
  m.LastFlowByte = last >= 0 ? last : int32_t(before.size() + flow.size());
  return m;
}

std::unique_ptr<Player> MakePlayer(const std::string& dir, const MovieBytes& bytes) {
  auto p = std::make_unique<Player>();
  p->movie = WriteMovieFile(dir, bytes);
  p->canvases = SharedCanvases();
  for (platform::Canvas c : {p->canvases.FrameCanvas, p->canvases.ComposeCanvas,
                             p->canvases.InactiveCanvas}) {
    std::memset(c.pixels, 0, size_t(platform::kCanvasWid) * platform::kCanvasHgt * 3);
  }
  testing::internal::CaptureStdout();
  TakeSettings(*p);
  p->geometry = ComputeGeometry(p->movie, p->settings);
  TakeStartChoices(*p);
  IndexMovie(*p);
  testing::internal::GetCapturedStdout();
  fake::state().draws.clear();
  return p;
}

Picture CanvasPicture(const platform::Canvas& canvas, int32_t wid, int32_t hgt) {
  Picture pic = MakePicture(wid, hgt);
  for (int32_t y = 0; y < hgt; ++y) {
    std::memcpy(pic.row(y), canvas.pixels + size_t(y) * platform::kCanvasWid * 3, size_t(wid) * 3);
  }
  return pic;
}
