// qvm: builds, bundles, checks and renders movies for the player. Exit codes
// follow the player's: 0 when all went well, 1 for a failure or a damaged movie.
#include <cstdio>
#include <cstring>
#include <exception>

#include "qvm/commands.h"

namespace {

const char kUsage[] =
    "Usage:\n"
    "  qvm build -o OUT.QVM [--header FILE] [--delay MS] FRAME.png...\n"
    "  qvm build -o OUT.QVM [--header FILE] [--delay MS] --list FILE\n"
    "      Makes a movie from PNG pictures, all one width (1 to 3000 pixels,\n"
    "      1 to 2400 rows, at most 50000 frames). Each frame shows for MS\n"
    "      milliseconds (100 unless --delay says otherwise). The list file has\n"
    "      one line per frame, \"PNG DELAY_MS\" or \"PNG click X1,Y1,X2,Y2\", and\n"
    "      may hold \"inactive PNG\" and \"StopReading\"; '#' starts a comment.\n"
    "  qvm build -o OUT.QVM [--header FILE] --video RECORDING [options]\n"
    "      Makes a movie from a video file (any container and codec FFmpeg's\n"
    "      libraries read). Each picture lasts until the next one's time stamp;\n"
    "      pictures that come out the same are one frame with the sum of their\n"
    "      delays. Times T are seconds (12 or 12.5) from the first picture.\n"
    "      --tolerance T  a row is shared with a stored row whose every channel\n"
    "                     is within T of it (0 to 255; 6 for lossy codecs, 0 for\n"
    "                     lossless ones such as qtrle, ffv1, png, x264 at qp 0)\n"
    "      --min-delay MS drops frames shorter than MS; the frame before them\n"
    "                     shows for their time (default 0)\n"
    "      --max-delay MS shows no frame longer than MS (default: no limit)\n"
    "      --start T      starts the movie with the picture on screen at T\n"
    "      --end T        ends it at T\n"
    "      --click T:X1,Y1,X2,Y2  the frame on screen at T waits for a click in\n"
    "                     that rectangle (movie pixels, edges included); may be\n"
    "                     given more than once\n"
    "      --clicks FILE  one click a line: T:X1,Y1,X2,Y2, or a click log's\n"
    "                     \"T X Y [BUTTON]\" (fields apart by blanks, tabs, commas\n"
    "                     or semicolons; T as 12.5, 12.5s, 12500ms or M:SS.s),\n"
    "                     which gets a --click-box centred on X,Y; '#' starts a\n"
    "                     comment, and a first line of column heads is skipped\n"
    "      --click-box W,H  the box of a logged click, clipped to the picture\n"
    "                     (default 40,30)\n"
    "      --scale W      scales the pictures to W pixels wide (1 to 3000); a\n"
    "                     recording wider than 3000 or higher than 2400 needs it\n"
    "      On a terminal a progress line shows how far it is; otherwise one\n"
    "      summary line is written at the end. Damage the decoder repairs is\n"
    "      counted, and the damage is small enough when at most 1 in 100 of the\n"
    "      video packets had a decoding error; beyond that the recording is\n"
    "      refused. A failed build leaves nothing at OUT.QVM.\n"
    "  qvm bundle PLAYER.exe MOVIE.QVM -o OUT.exe [--zip]\n"
    "      Appends the movie to a copy of the player, after the marker line.\n"
    "      With --zip it also writes OUT.zip beside it, holding OUT.exe.\n"
    "  qvm pair MOVIE DIR\n"
    "      Writes DIR/demoFlow.txt and DIR/demoStack.kts.\n"
    "  qvm info FILE\n"
    "      Describes the movie in a movie file, a bundled player or demoFlow.txt\n"
    "      and reports every problem; exits 1 when there is one.\n"
    "  qvm frame MOVIE N -o OUT.png [--inactive]\n"
    "      Writes frame N (from 0) as the player shows it, with --inactive as\n"
    "      it shows it while its window is in the background.\n"
    "  qvm html MOVIE -o PAGE.html [--player PAGE_PLAYER.html]\n"
    "  qvm html --viewer -o PAGE.html [--player PAGE_PLAYER.html]\n"
    "  qvm html MOVIE --scorm -o COURSE.zip [--player PAGE_PLAYER.html]\n"
    "  qvm html --author -o AUTHOR.html [--player AUTHOR_PAGE.html] [--exe PLAYER.exe]\n"
    "      Writes one self-contained web page that plays the movie (a .QVM, a\n"
    "      bundled player or demoFlow.txt), or with --viewer a page that plays\n"
    "      a movie the viewer opens or drops on it. The page player is\n"
    "      build/web/qv_page.html beside qvm's own build folder unless --player\n"
    "      names it. With --scorm it writes a SCORM 1.2 package for a learning\n"
    "      system instead: imsmanifest.xml and the page as index.html, which\n"
    "      reports the lesson completed once the last frame has shown.\n"
    "      With --author it writes the author page: open a movie or PNG frames\n"
    "      in a browser, edit it, and save the movie, the hand-out .exe, its\n"
    "      zip, its page or a course, all inside the page.\n"
    "      It takes build/web/qv_author.html and build/win32/QV_MoviePlayer.exe\n"
    "      beside qvm's build folder unless --player and --exe name others.\n";

struct Command {
  const char* name;
  int (*run)(int argc, char** argv);
};

const Command kCommands[] = {
    {"build", RunBuild}, {"bundle", RunBundle}, {"pair", RunPair},
    {"info", RunInfo},   {"frame", RunFrame}, {"html", RunHtml},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs(kUsage, stdout);
    return 1;
  }
  if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 ||
      std::strcmp(argv[1], "help") == 0) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  for (const Command& command : kCommands) {
    if (std::strcmp(argv[1], command.name) != 0) continue;
    try {
      return command.run(argc - 2, argv + 2);
    } catch (const std::exception& e) {
      std::fflush(stdout);
      std::fprintf(stderr, "qvm %s: %s\n", command.name, e.what());
      return 1;
    }
  }
  std::fprintf(stderr, "qvm: unknown command \"%s\"; qvm --help lists them\n", argv[1]);
  return 1;
}
