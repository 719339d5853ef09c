// qvm bundle and qvm pair: the movie is found where the player looks for it,
// whatever the player's last bytes are, and the pair holds the movie's bytes.
#include <gtest/gtest.h>
#include <zip.h>

#include "qvm/stack_order.h"
#include "tool/qvm_run.h"

namespace {

class QvmBundle : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int32_t n = 0; n < 3; ++n) plan_.frames.push_back({ScreenPicture(12, 9, n)});
    MovieBytes bytes = EncodeMovie(plan_);
    movie_ = MovieFileBytes(bytes);
    ASSERT_TRUE(WriteFile(dir_ / "m.QVM", movie_));
    // The bundle holds the rows in the order that zips smallest.
    ASSERT_TRUE(ReorderStack(&bytes));
    bundled_movie_ = MovieFileBytes(bytes);
    ASSERT_NE(bundled_movie_, movie_);
  }
  // Bundles a player made of these bytes and returns qvm info's fields.
  std::map<std::string, std::string> BundleAndInfo(const std::string& player, QvmResult* bundle) {
    EXPECT_TRUE(WriteFile(dir_ / "player.exe", player));
    *bundle = RunQvm({"bundle", dir_ / "player.exe", dir_ / "m.QVM", "-o", dir_ / "out.exe"});
    QvmResult info = RunQvm({"info", dir_ / "out.exe"});
    EXPECT_EQ(info.exit_code, 0) << info.out;
    return InfoFields(info.out);
  }
  void ExpectFramePlays(const std::string& file, int n) {
    QvmResult frame = RunQvm({"frame", file, std::to_string(n), "-o", dir_ / "f.png"});
    ASSERT_EQ(frame.exit_code, 0) << frame.err;
    EXPECT_TRUE(ReadPicture(dir_ / "f.png").bgr == plan_.frames[size_t(n)].picture.bgr);
  }

  ScratchDir dir_{"bundle"};
  MoviePlan plan_;
  std::string movie_;
  std::string bundled_movie_;
};

}  // namespace

TEST_F(QvmBundle, AppendsMarkerAndMovieAfterThePlayer) {
  // An end byte and the start of a marker inside the player must not matter.
  const std::string player = std::string("MZ\x90\x00\xFF\x01!\"#$x tail", 16);
  QvmResult bundle;
  auto fields = BundleAndInfo(player, &bundle);
  ASSERT_EQ(bundle.exit_code, 0) << bundle.err;
  EXPECT_EQ(ReadBytes(dir_ / "out.exe"), player + MarkerLine() + "\r\n" + bundled_movie_);
  EXPECT_EQ(fields["Layout"], "appended to a player");
  EXPECT_EQ(fields["FirstFlowByte"], std::to_string(player.size() + 94));
  EXPECT_EQ(fields["Frames"], "3");
  ExpectFramePlays(dir_ / "out.exe", 2);
}

TEST_F(QvmBundle, BreaksAPartialMarkerAtThePlayersEnd) {
  const std::string marker = MarkerLine();
  for (size_t tail : {size_t(1), size_t(3), size_t(93)}) {
    const std::string player = "MZ player " + marker.substr(0, tail);
    QvmResult bundle;
    auto fields = BundleAndInfo(player, &bundle);
    ASSERT_EQ(bundle.exit_code, 0) << bundle.err;
    EXPECT_EQ(ReadBytes(dir_ / "out.exe"), player + "\n" + marker + "\r\n" + bundled_movie_) << tail;
    EXPECT_EQ(fields["FirstFlowByte"], std::to_string(player.size() + 1 + 94)) << tail;
  }
  ExpectFramePlays(dir_ / "out.exe", 0);
}

TEST_F(QvmBundle, ZipHoldsTheBundledPlayerUnderItsName) {
  ASSERT_TRUE(WriteFile(dir_ / "player.exe", "MZ a player"));
  QvmResult bundle = RunQvm({"bundle", dir_ / "player.exe", dir_ / "m.QVM", "-o", dir_ / "Demo.exe", "--zip"});
  ASSERT_EQ(bundle.exit_code, 0) << bundle.err;
  EXPECT_NE(bundle.out.find(dir_ / "Demo.zip: "), std::string::npos) << bundle.out;
  int error = 0;
  zip_t* archive = zip_open((dir_ / "Demo.zip").c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
  ASSERT_NE(archive, nullptr) << error;
  EXPECT_EQ(zip_get_num_entries(archive, 0), 1);
  zip_stat_t entry;
  ASSERT_EQ(zip_stat_index(archive, 0, 0, &entry), 0);
  EXPECT_STREQ(entry.name, "Demo.exe");
  EXPECT_EQ(entry.comp_method, ZIP_CM_DEFLATE);
  std::string unpacked(entry.size, '\0');
  zip_file_t* file = zip_fopen_index(archive, 0, 0);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(zip_fread(file, unpacked.data(), entry.size), zip_int64_t(entry.size));
  zip_fclose(file);
  zip_close(archive);
  EXPECT_EQ(unpacked, ReadBytes(dir_ / "Demo.exe"));
}

TEST_F(QvmBundle, RefusesAPlayerThatHoldsTheMarker) {
  ASSERT_TRUE(WriteFile(dir_ / "player.exe", "MZ!" + MarkerLine() + "\r\nold movie"));
  QvmResult bundle = RunQvm({"bundle", dir_ / "player.exe", dir_ / "m.QVM", "-o", dir_ / "out.exe"});
  EXPECT_EQ(bundle.exit_code, 1);
  EXPECT_NE(bundle.err.find("already holds the marker"), std::string::npos) << bundle.err;
  EXPECT_EQ(ReadBytes(dir_ / "out.exe"), "");
}

TEST_F(QvmBundle, PairHoldsFlowAndWidthPlusStack) {
  QvmResult pair = RunQvm({"pair", dir_ / "m.QVM", dir_ / "pair"});
  ASSERT_EQ(pair.exit_code, 0) << pair.err;
  const size_t end = movie_.find('\xFF');
  EXPECT_EQ(ReadBytes(dir_ / "pair/demoFlow.txt"), movie_.substr(0, end));
  EXPECT_EQ(ReadBytes(dir_ / "pair/demoStack.kts"), movie_.substr(end + 1));

  QvmResult info = RunQvm({"info", dir_ / "pair/demoFlow.txt"});
  EXPECT_EQ(info.exit_code, 0) << info.out;
  auto fields = InfoFields(info.out);
  EXPECT_EQ(fields["Layout"], "external pair");
  EXPECT_EQ(fields["LastFlowByte"], std::to_string(end));
  EXPECT_EQ(fields["FirstStackByte"], "2");
  ExpectFramePlays(dir_ / "pair/demoFlow.txt", 1);
}
