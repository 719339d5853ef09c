// FFmpeg's demuxers and decoders, and swscale for the turn into 24-bit rows.
// The libraries' own log stays quiet: damage is counted here and reported
// once by the caller, instead of a line per broken block.
#include "qvm/video_source.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstring>
#include <stdexcept>

struct VideoSource::State {
  AVFormatContext* format = nullptr;
  AVCodecContext* decoder = nullptr;
  AVPacket* packet = nullptr;
  AVPacket* first_packet = nullptr;  // read ahead while judging the stream
  AVFrame* frame = nullptr;
  AVFrame* previous = nullptr;  // the frame before, to tell a repeat
  SwsContext* scaler = nullptr;
  Picture picture;
  bool repeated = false;
  int stream = -1;
  AVRational time_base{1, 1000};
  int32_t out_width = 0, out_height = 0;
  int64_t first_pts = AV_NOPTS_VALUE;
  int64_t last_time_ms = -1;
  int64_t last_duration_ms = 0;
  int64_t nominal_frame_ms = 0;
  bool flushing = false;
  VideoFacts facts;
  DecodeDamage damage;

  ~State() {
    sws_freeContext(scaler);
    av_frame_free(&frame);
    av_frame_free(&previous);
    av_packet_free(&first_packet);
    av_packet_free(&packet);
    avcodec_free_context(&decoder);
    avformat_close_input(&format);
  }
};

namespace {

std::string ErrorText(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

// A codec whose every picture decodes to what was encoded. H.264 is lossy
// by its descriptor, but x264 run at quantiser 0 keeps every pixel; it says
// so in the settings it writes into the first picture.
bool KeepsEveryPixel(const AVCodecDescriptor* codec, const AVPacket* first) {
  if (!codec) return false;
  if ((codec->props & AV_CODEC_PROP_LOSSLESS) && !(codec->props & AV_CODEC_PROP_LOSSY)) return true;
  if (codec->id != AV_CODEC_ID_H264 || !first) return false;
  const std::string bytes(reinterpret_cast<const char*>(first->data), size_t(first->size));
  const size_t settings = bytes.find("x264 - core");
  if (settings == std::string::npos) return false;
  const size_t end = bytes.find('\0', settings);
  const std::string text = bytes.substr(settings, end == std::string::npos ? end : end - settings);
  return text.find(" qp=0 ") != std::string::npos || text.find(" qp=0\0") != std::string::npos;
}

int SwsColourspace(AVColorSpace space) {
  switch (space) {
    case AVCOL_SPC_BT709: return SWS_CS_ITU709;
    case AVCOL_SPC_FCC: return SWS_CS_FCC;
    case AVCOL_SPC_SMPTE240M: return SWS_CS_SMPTE240M;
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL: return SWS_CS_BT2020;
    default: return SWS_CS_DEFAULT;  // what an untagged recording is made with
  }
}

}  // namespace

VideoSource::VideoSource(const std::string& path) : s_(new State) {
  av_log_set_level(AV_LOG_QUIET);
  int code = avformat_open_input(&s_->format, path.c_str(), nullptr, nullptr);
  if (code < 0) throw std::runtime_error(path + " is not a recording qvm can read (" + ErrorText(code) + ")");
  code = avformat_find_stream_info(s_->format, nullptr);
  if (code < 0) throw std::runtime_error(path + ": its streams cannot be read (" + ErrorText(code) + ")");
  const AVCodec* codec = nullptr;
  s_->stream = av_find_best_stream(s_->format, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
  if (s_->stream == AVERROR_STREAM_NOT_FOUND) throw std::runtime_error(path + " holds no video stream");
  const AVStream* stream = s_->stream >= 0 ? s_->format->streams[s_->stream] : nullptr;
  if (!stream || (stream->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
    throw std::runtime_error(path + " holds no video stream");
  }
  if (!codec) {
    throw std::runtime_error(path + ": its video codec (" +
                             avcodec_get_name(stream->codecpar->codec_id) +
                             ") cannot be decoded here");
  }
  s_->decoder = avcodec_alloc_context3(codec);
  if (!s_->decoder || avcodec_parameters_to_context(s_->decoder, stream->codecpar) < 0) {
    throw std::runtime_error(path + ": cannot set up the decoder");
  }
  s_->decoder->thread_count = 0;  // one per core, frames and slices as the codec allows
  s_->decoder->pkt_timebase = stream->time_base;
  code = avcodec_open2(s_->decoder, codec, nullptr);
  if (code < 0) throw std::runtime_error(path + ": cannot open the decoder (" + ErrorText(code) + ")");
  s_->time_base = stream->time_base;
  s_->packet = av_packet_alloc();
  s_->frame = av_frame_alloc();
  s_->previous = av_frame_alloc();
  if (!s_->packet || !s_->frame || !s_->previous) throw std::bad_alloc();

  const AVRational rate = stream->avg_frame_rate.num > 0 ? stream->avg_frame_rate : stream->r_frame_rate;
  if (rate.num > 0 && rate.den > 0) s_->nominal_frame_ms = av_rescale(1000, rate.den, rate.num);
  // The first packet is read ahead: it tells how the stream was encoded.
  while (av_read_frame(s_->format, s_->packet) >= 0) {
    if (s_->packet->stream_index == s_->stream) {
      s_->first_packet = av_packet_clone(s_->packet);
      av_packet_unref(s_->packet);
      break;
    }
    av_packet_unref(s_->packet);
  }

  VideoFacts& facts = s_->facts;
  facts.width = s_->decoder->width;
  facts.height = s_->decoder->height;
  facts.codec = codec->name;
  facts.lossless = KeepsEveryPixel(avcodec_descriptor_get(codec->id), s_->first_packet);
  facts.frames_guess = stream->nb_frames;
  if (stream->duration != AV_NOPTS_VALUE) {
    facts.seconds_guess = double(stream->duration) * av_q2d(stream->time_base);
  } else if (s_->format->duration != AV_NOPTS_VALUE) {
    facts.seconds_guess = double(s_->format->duration) / AV_TIME_BASE;
  }
  if (facts.frames_guess <= 0 && facts.seconds_guess > 0 && s_->nominal_frame_ms > 0) {
    facts.frames_guess = int64_t(facts.seconds_guess * 1000 / double(s_->nominal_frame_ms) + 0.5);
  }
  s_->out_width = facts.width;
  s_->out_height = facts.height;
}

VideoSource::~VideoSource() = default;

const VideoFacts& VideoSource::facts() const { return s_->facts; }
const DecodeDamage& VideoSource::damage() const { return s_->damage; }
int64_t VideoSource::last_duration_ms() const { return s_->last_duration_ms; }
int64_t VideoSource::nominal_frame_ms() const { return s_->nominal_frame_ms; }
bool VideoSource::repeated() const { return s_->repeated; }

void VideoSource::SetOutputSize(int32_t width, int32_t height) {
  s_->out_width = width;
  s_->out_height = height;
}

namespace {

void Convert(SwsContext** scaler, const AVFrame* frame, Picture* picture, int32_t width,
             int32_t height) {
  const int flags = frame->width == width && frame->height == height ? SWS_POINT : SWS_AREA;
  *scaler = sws_getCachedContext(*scaler, frame->width, frame->height, AVPixelFormat(frame->format),
                                 width, height, AV_PIX_FMT_BGR24, flags, nullptr, nullptr, nullptr);
  if (!*scaler) throw std::runtime_error("cannot convert the recording's pictures to 24-bit rows");
  const AVPixFmtDescriptor* format = av_pix_fmt_desc_get(AVPixelFormat(frame->format));
  if (format && !(format->flags & AV_PIX_FMT_FLAG_RGB)) {
    const int full_range = frame->color_range == AVCOL_RANGE_JPEG;
    sws_setColorspaceDetails(*scaler, sws_getCoefficients(SwsColourspace(frame->colorspace)),
                             full_range, sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
  }
  // swscale's fast YUV paths convert whole runs of 8 or 16 pixels and leave
  // the last pixels of a row unconverted when the row has no room for the
  // whole run: rows are written 16 pixels wider and closed up afterwards.
  const size_t row_bytes = size_t(width) * 3;
  const size_t padded = (size_t(width) + 15) / 16 * 16 * 3;
  picture->width = width;
  picture->height = height;
  picture->bgr.resize(padded * size_t(height) + 64);
  uint8_t* planes[4] = {picture->bgr.data(), nullptr, nullptr, nullptr};
  int strides[4] = {int(padded), 0, 0, 0};
  sws_scale(*scaler, frame->data, frame->linesize, 0, frame->height, planes, strides);
  if (padded != row_bytes) {
    for (int32_t y = 1; y < height; ++y) {
      std::memmove(picture->bgr.data() + size_t(y) * row_bytes, picture->bgr.data() + size_t(y) * padded, row_bytes);
    }
  }
  picture->bgr.resize(row_bytes * size_t(height));
}

// The same size, format and pixels, plane by plane, leaving out the padding
// at the rows' ends.
bool SamePixels(const AVFrame* a, const AVFrame* b) {
  if (!a->data[0] || a->width != b->width || a->height != b->height || a->format != b->format) return false;
  const AVPixelFormat format = AVPixelFormat(a->format);
  const AVPixFmtDescriptor* about = av_pix_fmt_desc_get(format);
  if (!about || (about->flags & (AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_HWACCEL))) return false;
  for (int plane = 0; plane < av_pix_fmt_count_planes(format); ++plane) {
    const int row_bytes = av_image_get_linesize(format, a->width, plane);
    const int rows = plane == 1 || plane == 2 ? AV_CEIL_RSHIFT(a->height, about->log2_chroma_h) : a->height;
    if (row_bytes <= 0) return false;
    for (int y = 0; y < rows; ++y) {
      if (std::memcmp(a->data[plane] + ptrdiff_t(y) * a->linesize[plane],
                      b->data[plane] + ptrdiff_t(y) * b->linesize[plane], size_t(row_bytes)) != 0) {
        return false;
      }
    }
  }
  return true;
}

}  // namespace

const Picture* VideoSource::Next(int64_t* time_ms) {
  State& s = *s_;
  for (;;) {
    int code = avcodec_receive_frame(s.decoder, s.frame);
    if (code == 0) break;
    if (code == AVERROR_EOF) return nullptr;
    if (code != AVERROR(EAGAIN)) ++s.damage.errors;
    if (s.flushing) return nullptr;
    if (code != AVERROR(EAGAIN)) continue;
    AVPacket* packet = s.first_packet ? s.first_packet : s.packet;
    if (!s.first_packet) {
      code = av_read_frame(s.format, packet);
      if (code < 0) {
        // A read error mid-way ends the stream like its end does; it counts.
        if (code != AVERROR_EOF) ++s.damage.errors;
        s.flushing = true;
        avcodec_send_packet(s.decoder, nullptr);
        continue;
      }
      if (packet->stream_index != s.stream) {
        av_packet_unref(packet);
        continue;
      }
    }
    ++s.damage.packets;
    code = avcodec_send_packet(s.decoder, packet);
    if (code < 0 && code != AVERROR(EAGAIN)) ++s.damage.errors;
    if (s.first_packet) {
      av_packet_free(&s.first_packet);
    } else {
      av_packet_unref(packet);
    }
  }

  AVFrame* frame = s.frame;
  if (frame->decode_error_flags != 0 || (frame->flags & AV_FRAME_FLAG_CORRUPT)) ++s.damage.errors;
  int64_t pts = frame->best_effort_timestamp;
  int64_t time = s.last_time_ms + std::max<int64_t>(s.nominal_frame_ms, 1);
  if (pts != AV_NOPTS_VALUE) {
    if (s.first_pts == AV_NOPTS_VALUE) s.first_pts = pts;
    time = av_rescale_q(pts - s.first_pts, s.time_base, AVRational{1, 1000});
  } else if (s.last_time_ms < 0) {
    time = 0;
  }
  // Presentation times only go forward; a stamp out of order shows at once.
  time = std::max(time, s.last_time_ms < 0 ? int64_t{0} : s.last_time_ms);
  s.last_time_ms = time;
  s.last_duration_ms = frame->pkt_duration > 0
                           ? av_rescale_q(frame->pkt_duration, s.time_base, AVRational{1, 1000})
                           : 0;
  *time_ms = time;
  s.repeated = s.picture.width == s.out_width && s.picture.height == s.out_height && SamePixels(frame, s.previous);
  if (!s.repeated) Convert(&s.scaler, frame, &s.picture, s.out_width, s.out_height);
  av_frame_unref(s.previous);
  av_frame_move_ref(s.previous, frame);
  return &s.picture;
}
