#include "movie/locator.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "movie/line_reader.h"
#include "movie/row_list.h"
#include "movie/flow_text.h"
#include "platform/failure.h"
#include "platform/platform.h"

namespace {

constexpr int kModulePathSize = 295;
constexpr int kMarkerLength = 94;
constexpr int kEndByte = 0xFF;
constexpr char kBackMovie[] = "QV_ScreenMovie_Back.QVM";
constexpr char kMakeMovie[] = "Please use ZI_Duvevid to make a movie to play.";

[[noreturn]] void FailBadMovie() {
  FailBox("Bad .QVM file1", "Exiting...", platform::kBoxSystemModalError);
}

// Offset of the first end byte from the stream's position on, or -1.
int64_t FindEndByte(std::FILE* file) {
  int c;
  while ((c = std::getc(file)) != EOF) {
    if (c == kEndByte) return std::ftell(file) - 1;
  }
  return -1;
}

// The width field: two bytes, most significant first; 0 when the file ends.
int32_t ReadWidth(std::FILE* file) {
  int hi = std::getc(file);
  int lo = std::getc(file);
  if (hi == EOF || lo == EOF) return 0;
  return hi * 256 + lo;
}

// The text after the last backslash of a path (the whole path without one).
const char* BareName(const char* path) {
  const char* slash = std::strrchr(path, '\\');
  return slash ? slash + 1 : path;
}

// Copies a bare file name into a path buffer; a name too long for it is refused,
// since a cut name would open another file.
void TakeName(const char* name, char* path) {
  if (std::strlen(name) >= kPathSize) {
    FailBox("The movie file name is longer than 98 characters.", "Exiting...",
            platform::kBoxSystemModalError);
  }
  std::strcpy(path, name);
}

void CheckLimits(const MovieSource& m) {
  char text[160];
  if (m.StackWid < 1 || m.StackWid > kMaxStackWid) {
    std::snprintf(text, sizeof text,
                  "The movie is %d pixels wide; this player shows 1 to 3000.",
                  static_cast<int>(m.StackWid));
    FailBox(text, "Exiting...", platform::kBoxSystemModalError);
  }
  if (m.MaxFrameHgt < 1 || m.MaxFrameHgt > kMaxRows) {
    std::snprintf(text, sizeof text,
                  "The movie's first frame has %d rows; this player shows 1 to 2400.",
                  static_cast<int>(m.MaxFrameHgt));
    FailBox(text, "Exiting...", platform::kBoxSystemModalError);
  }
}

void TakeFirstRowList(MovieSource* m) {
  int32_t rows = FirstRowListRows(m->flow_path, m->FirstFlowByte, m->LastFlowByte);
  if (rows < 0) FailTag("BadFlow");
  m->MaxFrameHgt = rows;
}

// The movie appended to the player's own file, which stands right after the marker.
void TakeAppendedMovie(std::FILE* own, const char* own_name, MovieSource* m) {
  std::strcpy(m->flow_path, own_name);
  std::strcpy(m->stack_path, own_name);
  m->FirstFlowByte = static_cast<int32_t>(std::ftell(own));
  int64_t end = FindEndByte(own);
  if (end < 0 || end > INT32_MAX - 3) {
    std::fclose(own);
    FailBadMovie();
  }
  m->LastFlowByte = static_cast<int32_t>(end);
  m->FirstStackByte = m->LastFlowByte + 3;
  m->StackWid = ReadWidth(own);
  std::fclose(own);
  TakeFirstRowList(m);
}

// A movie file of its own: flow from byte 0 up to the end byte, then the stack.
void TakeMovieFile(MovieSource* m) {
  std::FILE* file = std::fopen(m->flow_path, "rb");
  if (!file) FailBadMovie();
  int64_t end = FindEndByte(file);
  std::fclose(file);
  if (end < 0 || end > INT32_MAX - 3) FailBadMovie();
  m->FirstFlowByte = 0;
  m->LastFlowByte = static_cast<int32_t>(end);
  m->FirstStackByte = m->LastFlowByte + 3;
}

void TakeExternalPair(MovieSource* m) {
  struct stat st;
  if (stat("demoFlow.txt", &st) != 0) {
    FailBox("No .QVM file:d", "Exiting...", platform::kBoxSystemModalError);
  }
  m->LastFlowByte = st.st_size > INT32_MAX ? INT32_MAX : static_cast<int32_t>(st.st_size);
}

// Width from the stack file and the first row list from the flow file, for a
// movie file and for the external pair.
void ReadSeparateFiles(MovieSource* m) {
  std::FILE* stack = std::fopen(m->stack_path, "rb");
  if (!stack) FailBox(kMakeMovie, "No Movie to Play2", platform::kBoxOk);
  std::fseek(stack, m->FirstStackByte - 2, SEEK_SET);
  m->StackWid = ReadWidth(stack);
  std::fclose(stack);
  std::FILE* flow = std::fopen(m->flow_path, "rb");
  if (!flow) {
    Say("|||%s|||", m->flow_path);
    FailBox(kMakeMovie, "No Movie to Play3", platform::kBoxOk);
  }
  std::fclose(flow);
  TakeFirstRowList(m);
}

}  // namespace

bool FindMarker(std::FILE* file) {
  int k = 0;
  while (k < kMarkerLength) {
    int c = std::getc(file);
    if (c == EOF) return false;
    // The expected byte is computed, so the player's image holds no marker.
    k = (c == 33 + k) ? k + 1 : 0;
  }
  return true;
}

int32_t FirstRowListRows(const char* flow_path, int32_t first, int32_t last) {
  LineReader flow;
  if (!flow.open(flow_path) || !flow.seek(first)) return -1;
  // The search ends with the flow: a row list cut by the end byte counts only
  // the characters before it, and the stack is never searched.
  flow.set_end(last);
  static char line[kLineSize];
  while (flow.read(line, kLineSize)) {
    if (line[0] == '$') return RowCount(line);
  }
  return -1;
}

int ChooseMovieFile(char* name) {
  static char file[kLineSize];
  static char dir[kLineSize];
  platform::current_directory(dir, kLineSize);
  platform::choose_movie_file("*.QVM", dir, file, kLineSize);
  if (std::strcmp(file, "*.QVM") == 0) platform::exit_process(kExitNormal);
  return CopyText(BareName(file), name, 96);
}

MovieSource LocateMovie() {
  MovieSource m;
  char module_path[kModulePathSize];
  int path_len = platform::module_file_name(module_path, kModulePathSize);
  if (path_len >= kModulePathSize - 1) {
    FailBox("The player's path is longer than 294 characters.", "Exiting...",
            platform::kBoxSystemModalError);
  }
  char own_name[kPathSize];
  char cut[kModulePathSize];
  CopyText(BareName(module_path), cut, kModulePathSize - 1);
  TakeName(cut, own_name);
  std::FILE* own = std::fopen(own_name, "rb");
  if (!own) FailBox("Please UNZIP before running", "Exiting", platform::kBoxOk);
  if (FindMarker(own)) {
    TakeAppendedMovie(own, own_name, &m);
    CheckLimits(m);
    return m;
  }
  std::fclose(own);

  std::strcpy(m.flow_path, "demoFlow.txt");
  std::strcpy(m.stack_path, "demoStack.kts");
  m.FirstFlowByte = 0;
  m.LastFlowByte = -1;
  m.FirstStackByte = 2;

  char found[kLineSize];
  void* search = platform::find_first("*.QVM", found, kLineSize);
  if (!search) {
    TakeExternalPair(&m);
  } else {
    char chosen[kLineSize];
    std::strcpy(chosen, found);
    bool another = platform::find_next(search, found, kLineSize);
    if (another && std::strcmp(found, kBackMovie) == 0) {
      another = platform::find_next(search, found, kLineSize);
    }
    platform::find_close(search);
    if (another) ChooseMovieFile(chosen);
    TakeName(chosen, m.flow_path);
    std::strcpy(m.stack_path, m.flow_path);
    TakeMovieFile(&m);
  }
  ReadSeparateFiles(&m);
  CheckLimits(m);
  return m;
}
