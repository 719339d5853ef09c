// qvm build: PNG pictures (or, with --video, a recording) in, one movie file
// out. Pictures are read and encoded one at a time, so a long movie costs the
// memory of its unique rows. The stack is written in the order that zips
// smallest, and the file appears only once it is whole.
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <set>
#include <stdexcept>

#include "movie/movie_source.h"
#include "qvm/build_inputs.h"
#include "qvm/cli_args.h"
#include "qvm/commands.h"
#include "qvm/movie_writer.h"
#include "qvm/output_file.h"
#include "qvm/png_io.h"
#include "qvm/stack_order.h"
#include "qvm/video_build.h"

namespace {

FrameList FramesFromArgs(const CommandArgs& args, int32_t delay_ms) {
  if (args.has("--list")) {
    if (!args.plain.empty()) throw std::runtime_error("give the frames either in --list or as arguments");
    return ReadFrameList(args.value("--list"), delay_ms);
  }
  FrameList list;
  for (const std::string& png : args.plain) list.frames.push_back({png, {delay_ms, false, {}}});
  return list;
}

Picture LoadPng(const std::string& path) {
  Picture picture;
  std::string error;
  if (!ReadPng(path, &picture, &error)) throw std::runtime_error(path + ": " + error);
  return picture;
}

// The encoder's refusals name the picture by its place; the file name is added.
template <typename Step>
void ForPicture(const std::string& path, Step step) {
  try {
    step();
  } catch (const std::runtime_error& e) {
    throw std::runtime_error(path + ": " + e.what());
  }
}

MovieBytes Encode(const std::vector<std::string>& header, const FrameList& list) {
  MovieEncoder encoder(header);
  if (!list.inactive_png.empty()) {
    ForPicture(list.inactive_png, [&] { encoder.AddInactive(LoadPng(list.inactive_png)); });
  }
  for (size_t n = 0; n < list.frames.size(); ++n) {
    if (int32_t(n) == list.stop_reading_before) encoder.AddStopReading();
    const ListedFrame& listed = list.frames[n];
    ForPicture(listed.png, [&] {
      encoder.AddFrame({LoadPng(listed.png), listed.timing});
    });
  }
  if (list.stop_reading_before == int32_t(list.frames.size())) encoder.AddStopReading();
  return encoder.Finish();
}

}  // namespace

int RunBuild(int argc, char** argv) {
  std::set<std::string> valued = {"-o", "--header", "--delay", "--list"};
  valued.insert(std::begin(kVideoOptions), std::end(kVideoOptions));
  CommandArgs args = ParseCommandArgs(argc, argv, valued, {});
  if (!args.has("-o")) throw std::runtime_error("-o OUT.QVM is required");
  if (args.has("--video")) return BuildFromVideo(args);
  for (const char* option : kVideoOptions) {
    if (args.has(option)) throw std::runtime_error(std::string(option) + " is for --video");
  }
  const int32_t delay_ms = ParseCount(args.value("--delay", "100"), "--delay");
  FrameList list = FramesFromArgs(args, delay_ms);
  if (list.frames.empty()) throw std::runtime_error("no frames given");
  if (list.frames.size() > size_t(kMaxFrames)) {
    throw std::runtime_error(std::to_string(list.frames.size()) +
                             " frames; a movie has at most 50000");
  }
  std::vector<std::string> header;
  if (args.has("--header")) header = ReadHeaderFile(args.value("--header"));
  const MovieBytes movie = Encode(header, list);
  const std::string out = args.value("-o");
  const size_t row_bytes = size_t(movie.width) * 3;
  const uint8_t* stack = reinterpret_cast<const uint8_t*>(movie.stack.data());
  OutputFile file(out);
  const std::string error = WriteSortedMovie(&file, movie.flow, movie.width, int32_t(movie.stack.size() / row_bytes),
                                             [&](int32_t r) { return stack + size_t(r) * row_bytes; });
  if (!error.empty()) throw std::runtime_error(error);
  std::printf("%s: %d frames of %d pixels wide, %lld row references, %d unique rows\n",
              out.c_str(), int(movie.frame_count), int(movie.width),
              static_cast<long long>(movie.row_refs), int(movie.unique_rows));
  return 0;
}
