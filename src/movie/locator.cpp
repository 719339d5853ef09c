#include "movie/locator.h"

#include <cstdio>
#include <cstring>

#include "movie/flow_text.h"
#include "movie/movie_layout.h"
#include "platform/failure.h"
#include "platform/platform.h"

namespace {

constexpr int kModulePathSize = 295;
constexpr char kBackMovie[] = "QV_ScreenMovie_Back.QVM";
constexpr char kMakeMovie[] = "Please use ZI_Duvevid to make a movie to play.";

[[noreturn]] void FailBadMovie() {
  FailBox("Bad .QVM file1", "Exiting...", platform::kBoxSystemModalError);
}

// A bare file name as the player opens it; a name too long for its buffers is
// refused, since a cut name would open another file.
std::string TakeName(const char* name) {
  if (std::strlen(name) >= kPathSize) {
    FailBox("The movie file name is longer than 98 characters.", "Exiting...",
            platform::kBoxSystemModalError);
  }
  return name;
}

// Every fault of the layout as the player shows it.
[[noreturn]] void FailLayout(const MovieSource& m, LayoutFault fault) {
  char text[160];
  switch (fault) {
    case LayoutFault::kNoFile:
      if (m.kind == MovieKind::kAppended) FailBox("Please UNZIP before running", "Exiting", platform::kBoxOk);
      if (m.kind == MovieKind::kExternalPair) {
        FailBox("No .QVM file:d", "Exiting...", platform::kBoxSystemModalError);
      }
      FailBadMovie();
    case LayoutFault::kNoStack:
      FailBox(kMakeMovie, "No Movie to Play2", platform::kBoxOk);
    case LayoutFault::kNoFlow:
      Say("|||%s|||", m.flow_path.c_str());
      FailBox(kMakeMovie, "No Movie to Play3", platform::kBoxOk);
    case LayoutFault::kNoRowList:
      FailTag("BadFlow");
    case LayoutFault::kWidth:
      std::snprintf(text, sizeof text, "The movie is %d pixels wide; this player shows 1 to 3000.",
                    static_cast<int>(m.StackWid));
      FailBox(text, "Exiting...", platform::kBoxSystemModalError);
    case LayoutFault::kRows:
      std::snprintf(text, sizeof text,
                    "The movie's first frame has %d rows; this player shows 1 to 2400.",
                    static_cast<int>(m.MaxFrameHgt));
      FailBox(text, "Exiting...", platform::kBoxSystemModalError);
    default:
      // No end byte, one beyond the offsets, or (on a second reading) a
      // marker that has gone: the file is not the movie it was.
      FailBadMovie();
  }
}

MovieSource Take(MovieKind kind, const std::string& flow_path, const std::string& stack_path) {
  MovieSource m;
  const LayoutFault fault = ReadLayout(kind, flow_path, stack_path, &m);
  if (fault != LayoutFault::kNone) FailLayout(m, fault);
  return m;
}

// The current directory: a single movie file, the one the viewer picks, or
// the external pair when there is no movie file.
MovieSource FromDirectory() {
  char found[kLineSize];
  void* search = platform::find_first("*.QVM", found, kLineSize);
  if (!search) return Take(MovieKind::kExternalPair, "demoFlow.txt", "demoStack.kts");
  char chosen[kLineSize];
  std::strcpy(chosen, found);
  bool another = platform::find_next(search, found, kLineSize);
  if (another && std::strcmp(found, kBackMovie) == 0) {
    another = platform::find_next(search, found, kLineSize);
  }
  platform::find_close(search);
  if (another) ChooseMovieFile(chosen);
  const std::string name = TakeName(chosen);
  return Take(MovieKind::kMovieFile, name, name);
}

}  // namespace

int ChooseMovieFile(char* name) {
  static char file[kLineSize];
  static char dir[kLineSize];
  platform::current_directory(dir, kLineSize);
  platform::choose_movie_file("*.QVM", dir, file, kLineSize);
  if (std::strcmp(file, "*.QVM") == 0) platform::exit_process(kExitNormal);
  return CopyText(BareName(file, '\\').c_str(), name, 96);
}

MovieSource LocateMovie() {
  char module_path[kModulePathSize];
  int path_len = platform::module_file_name(module_path, kModulePathSize);
  if (path_len >= kModulePathSize - 1) {
    FailBox("The player's path is longer than 294 characters.", "Exiting...",
            platform::kBoxSystemModalError);
  }
  char cut[kModulePathSize];
  CopyText(BareName(module_path, '\\').c_str(), cut, kModulePathSize - 1);
  const std::string own_name = TakeName(cut);
  MovieSource m;
  const LayoutFault fault = ReadLayout(MovieKind::kAppended, own_name, own_name, &m);
  if (fault == LayoutFault::kNoMarker) return FromDirectory();
  if (fault != LayoutFault::kNone) FailLayout(m, fault);
  return m;
}

void RefreshLayout(MovieSource* movie) {
  *movie = Take(movie->kind, movie->flow_path, movie->stack_path);
}
