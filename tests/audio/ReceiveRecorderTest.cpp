// A receive recording is a file that plays at every moment (a crash keeps what was heard),
// holds exactly what the receiver got, and on a full disk stops with the reason and keeps
// what fitted.
#include "audio/ReceiveRecorder.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "audio/WavFile.h"
#include "support/EventLoop.h"
#include "support/FullDisk.h"

namespace vela {
namespace {

std::vector<int16_t> ReadBack(const std::string& path) {
  std::vector<int16_t> samples;
  std::string error;
  EXPECT_TRUE(WavReader::ReadAll(path, 0, samples, error)) << error;
  return samples;
}

TEST(ReceiveRecorder, EveryBufferIsInTheFileAsSoonAsItArrivesAndAFullDiskStopsIt) {
  std::vector<int16_t> heard(5 * 1024);
  std::iota(heard.begin(), heard.end(), int16_t{-2000});
  const std::string path = (test::ScratchDir("recorder") / "evening.wav").string();
  ReceiveRecorder recorder;
  ASSERT_TRUE(recorder.Start(path));
  for (size_t at = 0; at < heard.size(); at += 1024) {
    recorder.Captured(std::span<const int16_t>(heard).subspan(at, 1024));
    // Read while still recording, as after a crash.
    const std::vector<int16_t> now = ReadBack(path);
    ASSERT_EQ(now, std::vector<int16_t>(heard.begin(), heard.begin() + at + 1024));
  }
  recorder.Stop();
  WavReader reader;
  ASSERT_TRUE(reader.Open(path));
  EXPECT_EQ(reader.fileRate(), 8000);
  EXPECT_EQ(reader.channels(), 1);
  EXPECT_FALSE(recorder.TakeError());
  EXPECT_FALSE(recorder.Start(test::ScratchDir("recorder").string()));
  EXPECT_NE(recorder.TakeError().value_or("").find("folder"), std::string::npos);

  test::FullDisk disk(test::ScratchDir("recorder-full") / "disk");
  if (!disk.ok) GTEST_SKIP() << "a full disk needs root to mount a tmpfs";
  const std::string full = (disk.dir / "full.wav").string();
  ASSERT_TRUE(recorder.Start(full));
  recorder.Captured(std::span<const int16_t>(heard).first(1024));
  disk.Fill();
  for (int i = 0; i < 200 && recorder.recording(); ++i) recorder.Captured(heard);
  EXPECT_FALSE(recorder.recording());
  const std::string reason = recorder.TakeError().value_or("");
  EXPECT_NE(reason.find("full.wav"), std::string::npos) << reason;
  EXPECT_NE(reason.find("stopped"), std::string::npos) << reason;
  const std::vector<int16_t> kept = ReadBack(full);
  ASSERT_GE(kept.size(), 1024u);
  EXPECT_TRUE(std::equal(kept.begin(), kept.begin() + 1024, heard.begin()));
}

}  // namespace
}  // namespace vela
