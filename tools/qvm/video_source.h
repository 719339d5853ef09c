// Decoded pictures of a recording, one at a time, in the stack's pixel order,
// through FFmpeg's libraries: any container and codec they read. Only the
// picture being handed out is held, so a long recording costs no more memory
// than a short one.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "qvm/movie_writer.h"

struct VideoFacts {
  int32_t width = 0;  // as the stream stores its pictures
  int32_t height = 0;
  std::string codec;         // the decoder's short name
  bool lossless = false;     // the codec, or this stream's settings, keep every pixel
  int64_t frames_guess = 0;  // from the container, 0 when it does not say
  double seconds_guess = 0;  // likewise
};

struct DecodeDamage {
  int64_t packets = 0;  // video packets read
  int64_t errors = 0;   // packets refused and pictures repaired by the decoder
};

class VideoSource {
 public:
  // Opens the recording and its best video stream. Throws std::runtime_error
  // for a file that is not a recording, one without a video stream and one
  // whose codec cannot be decoded here.
  explicit VideoSource(const std::string& path);
  ~VideoSource();
  VideoSource(const VideoSource&) = delete;
  VideoSource& operator=(const VideoSource&) = delete;

  const VideoFacts& facts() const;
  // The size pictures are handed out at; the stream's own unless set. A
  // stream whose pictures change size mid-way is scaled to this size too.
  void SetOutputSize(int32_t width, int32_t height);

  // The next picture in presentation order and its time in milliseconds
  // from the first picture's; nullptr at the end of the stream. The picture
  // stays as it is until the next call.
  const Picture* Next(int64_t* time_ms);
  // The picture just handed out decoded to the same pixels as the one
  // before it (and so was not converted again): on a still screen most do.
  bool repeated() const;
  // The last picture's own duration as the stream gives it; 0 when unknown.
  int64_t last_duration_ms() const;
  // Milliseconds one picture lasts at the stream's nominal rate; 0 unknown.
  int64_t nominal_frame_ms() const;
  const DecodeDamage& damage() const;

 private:
  struct State;
  std::unique_ptr<State> s_;
};
