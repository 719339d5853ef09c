// The one renderer of a frame: frame n of the player's movie at 1:1, read
// from the movie and composed in a look. The player presents what it
// renders; qvm frame writes it as a picture, so the two cannot differ.
#pragma once
#include <cstdint>

#include "player/player.h"

// A frame as read: its rows (FrameWid x FrameHgt) are in FrameCanvas.
struct FetchedFrame {
  int32_t FrameWid = 0, FrameHgt = 0;
  TimingLine timing;
};

enum class Fetched {
  kRead,
  kMoved,      // the frame line is no longer at its offset: the index was rebuilt
  kNoRowList,  // the frame line is not followed by a row list
};

// The file side: confirms the frame line, makes n the current frame, loads
// the rows into FrameCanvas and reads the timing line.
Fetched FetchFrame(Player& p, int32_t n, FetchedFrame* frame);

using Look = ComposedPicture::Look;

struct RenderedFrame : FetchedFrame {
  platform::Canvas picture;  // FrameCanvas, or ComposeCanvas for another look
};

// Fetches frame n and composes it in the look: kFrame is FrameCanvas itself;
// kBanner and kInactive compose into ComposeCanvas the frame, or the inactive
// picture with the frame inside the live rectangle; the banner is drawn over
// either while HelpOn is 1. After the first render in a look and size, only
// the rows the frame's row list wrote and those under the last banner are
// composed again.
Fetched RenderFrame(Player& p, int32_t n, Look look, RenderedFrame* frame);
