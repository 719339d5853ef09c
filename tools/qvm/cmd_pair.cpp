// qvm pair: the external pair, a flow file without end byte and a stack file
// that begins with the width field, from any movie the player can read.
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <stdexcept>

#include "qvm/cli_args.h"
#include "qvm/commands.h"
#include "qvm/movie_file.h"
#include "qvm/output_file.h"

namespace {

void MakeFolder(const std::string& dir) {
  if (mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) {
    throw std::runtime_error("cannot make the folder " + dir);
  }
}

}  // namespace

int RunPair(int argc, char** argv) {
  CommandArgs args = ParseCommandArgs(argc, argv, {}, {});
  if (args.plain.size() != 2) throw std::runtime_error("usage: qvm pair MOVIE.QVM DIR");
  const MovieFile file = OpenMovieFile(args.plain[0]);
  RequirePlayable(file);
  const MovieSource& movie = file.movie;
  const std::string flow = ReadFileRange(movie.flow_path, movie.FirstFlowByte,
                                         movie.LastFlowByte - movie.FirstFlowByte);
  // The width field stands right before the stack in every layout.
  const int64_t width_field = movie.FirstStackByte - 2;
  const std::string stack =
      ReadFileRange(movie.stack_path, width_field, movie.stack_file_bytes - width_field);
  const std::string& dir = args.plain[1];
  MakeFolder(dir);
  WriteOutput(dir + "/demoFlow.txt", flow);
  WriteOutput(dir + "/demoStack.kts", stack);
  std::printf("%s/demoFlow.txt: %lld bytes; %s/demoStack.kts: %lld bytes\n", dir.c_str(),
              static_cast<long long>(flow.size()), dir.c_str(),
              static_cast<long long>(stack.size()));
  return 0;
}
