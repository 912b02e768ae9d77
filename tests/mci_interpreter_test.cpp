// The media command strings as the interpreter reads them, on a recording device.
#include "platform/shared/mci/mci_interpreter.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

namespace {

using namespace platform::mci;

class RecordingDevice final : public MusicDevice {
 public:
  int Open(const std::string& host_path, uint32_t* error) override {
    calls.push_back("open " + host_path);
    if (fail_with) {
      *error = fail_with;
      return 0;
    }
    return ++last_id;
  }
  uint32_t PlayFromStart(int id) override {
    calls.push_back("play " + std::to_string(id));
    return kOk;
  }
  void Close(int id) override { calls.push_back("close " + std::to_string(id)); }

  std::vector<std::string> calls;
  uint32_t fail_with = 0;
  int last_id = 0;
};

class Mci : public ::testing::Test {
 protected:
  void SetUp() override {
    char base[] = "/tmp/mci_test_XXXXXX";
    ASSERT_TRUE(mkdtemp(base));
    base_ = base;
    folder_ = base_ + "/有 空格";
    ASSERT_EQ(mkdir(folder_.c_str(), 0755), 0);
    std::ofstream(folder_ + "/song.mid") << "MThd";
    interpreter_ = std::make_unique<Interpreter>(device_, folder_);
  }
  void TearDown() override {
    if (!base_.empty()) std::filesystem::remove_all(base_);
  }
  uint32_t Send(const std::string& command) { return interpreter_->Send(command); }
  std::string OpenSong() { return "OPEN " + folder_ + "\\song.mid TYPE SEQUENCER ALIAS BackgroundMusic"; }

  RecordingDevice device_;
  std::string base_, folder_;
  std::unique_ptr<Interpreter> interpreter_;
};

TEST_F(Mci, APathWithBlanksAndChineseOpensPlaysAndCloses) {
  EXPECT_EQ(Send(OpenSong()), kOk);
  EXPECT_EQ(Send("PLAY BackgroundMusic FROM 0"), kOk);
  EXPECT_EQ(Send("CLOSE BackgroundMusic"), kOk);
  EXPECT_EQ(device_.calls,
            (std::vector<std::string>{"open " + folder_ + "/song.mid", "play 1", "close 1"}));
}

TEST_F(Mci, ClosingTwiceOrAnUnknownAliasIsAnErrorThatTouchesNoDevice) {
  EXPECT_EQ(Send("CLOSE BackgroundMusic"), kInvalidDeviceName);
  EXPECT_EQ(Send("PLAY BackgroundMusic FROM 0"), kInvalidDeviceName);
  EXPECT_TRUE(device_.calls.empty());
  EXPECT_EQ(Send(OpenSong()), kOk);
  EXPECT_EQ(Send("CLOSE BackgroundMusic"), kOk);
  EXPECT_EQ(Send("CLOSE BackgroundMusic"), kInvalidDeviceName);
  EXPECT_EQ(device_.calls.size(), 2u);
}

TEST_F(Mci, AMissingFileOrAFolderIsNotFoundBeforeTheDeviceIsAsked) {
  EXPECT_EQ(Send("OPEN " + folder_ + "\\nothing.mid TYPE SEQUENCER ALIAS BackgroundMusic"), kFileNotFound);
  EXPECT_EQ(Send("OPEN " + folder_ + " TYPE SEQUENCER ALIAS BackgroundMusic"), kFileNotFound);
  EXPECT_TRUE(device_.calls.empty());
  EXPECT_FALSE(interpreter_->IsOpen("BackgroundMusic"));
}

TEST_F(Mci, CommandsAndTypesOutsideTheSetHaveTheirOwnCodes) {
  EXPECT_EQ(Send(""), kMissingCommandString);
  EXPECT_EQ(Send("SEEK BackgroundMusic TO START"), kUnrecognizedCommand);
  EXPECT_EQ(Send("OPEN " + folder_ + "\\song.mid TYPE WAVEAUDIO ALIAS Wave"), kCannotLoadDriver);
  EXPECT_EQ(Send("OPEN TYPE SEQUENCER ALIAS BackgroundMusic"), kMissingParameter);
  EXPECT_EQ(Send("PLAY"), kMissingParameter);
  EXPECT_EQ(Send(OpenSong()), kOk);
  EXPECT_EQ(Send(OpenSong()), kDuplicateAlias);
  EXPECT_EQ(Send("PLAY BackgroundMusic FROM 5"), kUnsupportedFunction);
}

TEST_F(Mci, KeywordsAndAliasesAreCaseBlindAndTheDevicesErrorComesBack) {
  EXPECT_EQ(Send("open " + folder_ + "\\song.mid type sequencer alias bgm"), kOk);
  EXPECT_EQ(Send("Play BGM from 0"), kOk);
  EXPECT_EQ(Send("close Bgm"), kOk);
  device_.fail_with = kInvalidFile;
  EXPECT_EQ(Send(OpenSong()), kInvalidFile);
  EXPECT_FALSE(interpreter_->IsOpen("BackgroundMusic"));
}

TEST_F(Mci, AFolderNamedLikeAKeywordStaysPartOfThePath) {
  const std::string odd = folder_ + "/x TYPE y ALIAS z";
  ASSERT_EQ(mkdir(odd.c_str(), 0755), 0);
  std::ofstream(odd + "/song.mid") << "MThd";
  EXPECT_EQ(Send("OPEN " + odd + "\\song.mid TYPE SEQUENCER ALIAS BackgroundMusic"), kOk);
  EXPECT_EQ(device_.calls, (std::vector<std::string>{"open " + odd + "/song.mid"}));
}

}  // namespace
