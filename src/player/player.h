// The one process-wide player: the movie, its settings, the layout on screen,
// the frame index, the canvases and the playback state. Values that another
// thread reads (the clock's calls, the splash, the looping notice) are atomic.
#pragma once
#include <atomic>
#include <cstdint>
#include <vector>

#include "movie/frame_index.h"
#include "movie/line_reader.h"
#include "movie/movie_source.h"
#include "movie/row_list.h"
#include "movie/settings.h"
#include "movie/timing_line.h"
#include "platform/platform.h"
#include "player/resample.h"

struct DisplayGeometry {
  int32_t Scale = 1000;                  // thousandths: screen pixels per movie pixel
  int32_t WindowWid = 0, WindowHgt = 0;  // screen pixels
  int32_t PictureX = 0, PictureY = 0;    // screen pixels, the picture inside the window
  int32_t ShownWid = 0, ShownHgt = 0;    // movie pixels the window is laid out for
};

struct Canvases {
  platform::Canvas FrameCanvas, ComposeCanvas, InactiveCanvas;
};

// The chain of due times of timed frames (see clock.h). Main thread only.
struct PlaybackClock {
  int32_t frame = -1;     // the frame whose due time is known; -1: start afresh
  double due_ms = 0;      // when that frame was due on screen, in platform::now_ms time
  int32_t delay_ms = -1;  // that frame's delay; -1 for one that waited for a click
  double cost_ms = -1;    // what a presentation costs, smoothed; -1 until measured
};

// What the composed picture was made of, and which of its rows may differ
// from the picture last drawn, so a presentation copies, scales and draws
// only those: screen movies change few rows from one frame to the next.
// Main thread only.
struct ComposedPicture {
  // kFrame draws FrameCanvas itself; the others compose into ComposeCanvas.
  enum class Look { kNone, kFrame, kBanner, kInactive };
  Look look = Look::kNone;
  int32_t wid = -1, hgt = -1;  // the frame size drawn
  int32_t banner_top = 0, banner_rows = 0;  // the banner drawn over it
  uint8_t changed[kMaxRows] = {};
};

// The scaled picture of a Scale other than 1000: the scaler for the sizes
// now shown, and the window rows it wrote. Main thread only.
struct ScaledPicture {
  Scaler scaler;
  platform::WindowPixels out;  // where the scaler last wrote
  std::vector<uint8_t> written;
};

struct Player {
  MovieSource movie;
  PlayerSettings settings;
  DisplayGeometry geometry;
  FrameIndex index;
  Canvases canvases;

  std::atomic<int32_t> CurrentFrame{0};
  std::atomic<int32_t> Playing{1};      // 1 playing, 0 paused
  std::atomic<int32_t> StepDelay{1};    // ms; -1 waits for a click in click_region
  std::atomic<int32_t> StopAtEnd{1};    // 1 looping off, 0 looping on
  std::atomic<int32_t> HelpOn{0};       // the frame banner is drawn when 1; F1 toggles it
  // The frame a clock has asked for and the main thread has not yet been asked
  // to show (-1: none). A repaint presents a frame again and starts another
  // clock for it; while one clock's request is on its way the others keep
  // still, or every later frame would be presented twice.
  std::atomic<int32_t> clock_request{-1};
  PlaybackClock clock;
  ComposedPicture composed;
  ScaledPicture scaled;
  ClickRegion click_region;             // of the frame shown, when it waits
  bool playing_begun = false;           // BeginPlaying has shown the window

  // Kept from one presentation to the next while the stack file keeps its
  // size and time stamp: the open (mapped) stack, and which stack row each
  // FrameCanvas row holds (-1: not known), so unchanged rows are not copied.
  StackFile stack;
  LineReader flow;
  FileStamp index_stamp;  // the flow file as the index was built from it
  int32_t held_rows[kMaxRows];
  Player() { ForgetHeldRows(); }
  void ForgetHeldRows() {
    for (int32_t& r : held_rows) r = -1;
  }
};

// The process's player, filled by main and handed by the window shell to its
// handlers. Never destroyed: threads may still read it while the process ends.
inline Player& ThePlayer() {
  static Player* player = new Player;
  return *player;
}
