// qvm html: the page holds the files the player looks for, named so, with the
// bytes the player would read, in the gzip stream the page inflates; its title
// is the movie's; nothing else of the page player is touched.
#include <gtest/gtest.h>
#include <zlib.h>

#include "tool/qvm_run.h"

namespace {

const char kPlayer[] = "<title>@QV_TITLE@</title>\n<!--@QV_MOVIE@-->\n<script>player</script>\n";

std::string Unbase64(const std::string& text) {
  std::string out;
  uint32_t bits = 0;
  int count = 0;
  for (char c : text) {
    int v = c >= 'A' && c <= 'Z' ? c - 'A' : c >= 'a' && c <= 'z' ? c - 'a' + 26
          : c >= '0' && c <= '9' ? c - '0' + 52 : c == '+' ? 62 : c == '/' ? 63 : -1;
    if (v < 0) continue;
    bits = bits << 6 | uint32_t(v);
    if ((count += 6) >= 8) out += char((bits >> (count -= 8)) & 0xFF);
  }
  return out;
}

std::string Gunzip(const std::string& packed) {
  z_stream z = {};
  EXPECT_EQ(inflateInit2(&z, 15 + 16), Z_OK);
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
  z.avail_in = uInt(packed.size());
  std::string out;
  char buf[65536];
  int status;
  do {
    z.next_out = reinterpret_cast<Bytef*>(buf);
    z.avail_out = sizeof buf;
    status = inflate(&z, Z_NO_FLUSH);
    out.append(buf, sizeof buf - z.avail_out);
  } while (status == Z_OK);
  EXPECT_EQ(status, Z_STREAM_END);
  inflateEnd(&z);
  return out;
}

// The text between `from` and `to` after the first `from`; empty without it.
std::string Between(const std::string& text, const std::string& from, const std::string& to) {
  size_t a = text.find(from);
  if (a == std::string::npos) return "";
  a += from.size();
  return text.substr(a, text.find(to, a) - a);
}

class QvmHtml : public ::testing::Test {
 protected:
  void SetUp() override {
    plan_.header = {"WindowText \"Tom & Jerry <3>\"", "HelpOn"};
    for (int32_t n = 0; n < 3; ++n) plan_.frames.push_back({ScreenPicture(16, 12, n)});
    movie_ = MovieFileBytes(EncodeMovie(plan_));
    ASSERT_TRUE(WriteFile(dir_ / "Demo.QVM", movie_));
    ASSERT_TRUE(WriteFile(dir_ / "player.html", kPlayer));
  }
  std::string Page(const std::vector<std::string>& what) {
    std::vector<std::string> args = {"html"};
    args.insert(args.end(), what.begin(), what.end());
    args.insert(args.end(), {"-o", dir_ / "page.html", "--player", dir_ / "player.html"});
    QvmResult r = RunQvm(args);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    return ReadBytes(dir_ / "page.html");
  }

  ScratchDir dir_{"html"};
  MoviePlan plan_;
  std::string movie_;
};

}  // namespace

TEST_F(QvmHtml, HoldsEachKindOfMovieAsThePlayerFindsIt) {
  const size_t end = movie_.find('\xFF');
  ASSERT_EQ(RunQvm({"pair", dir_ / "Demo.QVM", dir_ / "pair"}).exit_code, 0);
  ASSERT_TRUE(WriteFile(dir_ / "player.exe", "MZ player"));
  ASSERT_EQ(RunQvm({"bundle", dir_ / "player.exe", dir_ / "Demo.QVM", "-o", dir_ / "My Demo.exe"}).exit_code, 0);
  // The bundle holds the movie's rows in an order of its own: the page holds
  // whatever follows the marker.
  const std::string bundled = ReadBytes(dir_ / "My Demo.exe").substr(9 + MarkerLine().size());
  struct Row {
    std::string movie, files, bytes;
  } rows[] = {
      {dir_ / "Demo.QVM", "Demo.QVM:" + std::to_string(movie_.size()), movie_},
      // Only the movie of a bundled player: what follows its marker.
      {dir_ / "My Demo.exe", "My%20Demo.QVM:" + std::to_string(bundled.size()), bundled},
      {dir_ / "pair/demoFlow.txt",
       "demoFlow.txt:" + std::to_string(end) + "/demoStack.kts:" + std::to_string(movie_.size() - end - 1),
       movie_.substr(0, end) + movie_.substr(end + 1)},
  };
  for (const Row& row : rows) {
    const std::string page = Page({row.movie});
    EXPECT_EQ(Between(page, "<title>", "</title>"), "Tom &amp; Jerry &lt;3&gt;") << row.movie;
    EXPECT_EQ(Between(page, "data-files=\"", "\""), row.files) << row.movie;
    EXPECT_TRUE(Gunzip(Unbase64(Between(page, "\">", "</script>"))) == row.bytes) << row.movie;
    EXPECT_NE(page.find("\n<script>player</script>\n"), std::string::npos) << row.movie;
  }
}

TEST_F(QvmHtml, ViewerHoldsNoMovieAndADamagedMovieIsRefused) {
  EXPECT_EQ(Page({"--viewer"}), "<title>QV Movie Viewer</title>\n\n<script>player</script>\n");
  ASSERT_TRUE(WriteFile(dir_ / "Bad.QVM", movie_.substr(0, movie_.find('\xFF'))));
  QvmResult bad = RunQvm({"html", dir_ / "Bad.QVM", "-o", dir_ / "bad.html", "--player", dir_ / "player.html"});
  EXPECT_EQ(bad.exit_code, 1);
  EXPECT_EQ(ReadBytes(dir_ / "bad.html"), "");
  QvmResult none = RunQvm({"html", dir_ / "Demo.QVM", "-o", dir_ / "p.html", "--player", dir_ / "nothing.html"});
  EXPECT_EQ(none.exit_code, 1);
  EXPECT_NE(none.err.find("--player"), std::string::npos) << none.err;
}

TEST_F(QvmHtml, APlayerWithAPlaceForItGetsFrameZeroAsAPoster) {
  ASSERT_TRUE(WriteFile(dir_ / "player.html", std::string(kPlayer) + "<!--@QV_POSTER@-->"));
  const std::string page = Page({dir_ / "Demo.QVM"});
  EXPECT_EQ(Between(page, "<img id=\"qv-poster\" alt=\"\" ", " src="), "width=\"16\" height=\"12\"");
  const std::string png = Unbase64(Between(page, "src=\"data:image/png;base64,", "\""));
  EXPECT_EQ(png.substr(0, 4), "\x89PNG");
  EXPECT_EQ(Page({"--viewer"}).find("qv-poster"), std::string::npos);
}

// A player that reads pieces gets a movie of more than one piece's 4 MB as
// gzip streams of those sizes, each in its element and handed to the page's
// loader at once, whose bytes follow on; an older player, one stream.
TEST_F(QvmHtml, APlayerThatTakesPiecesGetsABigMovieInPieces) {
  Picture big = MakePicture(3000, 500, 0);
  for (int32_t y = 0; y < big.height; ++y) big.row(y)[0] = uint8_t(y), big.row(y)[1] = uint8_t(y >> 8);
  MoviePlan plan;
  plan.frames.push_back({big});
  const std::string movie = MovieFileBytes(EncodeMovie(plan));
  ASSERT_GT(movie.size(), 4u << 20);
  ASSERT_TRUE(WriteFile(dir_ / "Big.QVM", movie));
  const std::string old_page = Page({dir_ / "Big.QVM"});
  EXPECT_EQ(old_page.find("data-pieces"), std::string::npos);
  EXPECT_TRUE(Gunzip(Unbase64(Between(old_page, "\">", "</script>"))) == movie);

  ASSERT_TRUE(WriteFile(dir_ / "player.html", std::string(kPlayer) + "<!-- data-pieces -->"));
  const std::string page = Page({dir_ / "Big.QVM"});
  EXPECT_EQ(Between(page, "data-pieces=\"", "\""), "4194304," + std::to_string(movie.size() - (4u << 20)));
  const std::string take = "</script><script>QvLoad.take()</script>\n";
  const std::string first = Between(page, "\">", take);
  const std::string second = Between(page, take + "<script type=\"application/octet-stream\">", take);
  EXPECT_EQ(Gunzip(Unbase64(first)).size(), 4u << 20);
  EXPECT_TRUE(Gunzip(Unbase64(first)) + Gunzip(Unbase64(second)) == movie);
}
