// Reads on the helper thread while the window thread processes messages.
#include <QTimer>

#include <atomic>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <thread>

#include "app/background_reader.h"

namespace salvorine::test {
namespace {

// A file whose reads fill the buffer with its own letter; a gated one blocks until opened.
class LetterFile final : public File {
 public:
  LetterFile(char letter, std::atomic<bool>* gate = nullptr) : letter_(letter), gate_(gate) {}
  const std::string& Path() const override { return path_; }
  void Seek(std::int64_t) override {}
  ReadResult Read(void* buffer, std::size_t count) override {
    while (gate_ != nullptr && !gate_->load()) std::this_thread::yield();
    std::memset(buffer, letter_, count);
    return {true, count, 0};
  }
  void Write(const void*, std::size_t) override {}
  std::int64_t Size() override { return 0; }
  void Truncate() override {}
  void Close() override {}

 private:
  char letter_;
  std::atomic<bool>* gate_;
  std::string path_ = "letters";
};

// Guards one shared result slot: a read started while another waits (from a
// command run inside that wait) must neither take nor spoil the other's result.
TEST(BackgroundReaderTest, AReadStartedWhileAnotherWaitsGetsItsOwnResult) {
  BackgroundReader reader;
  std::atomic<bool> gate{false};
  LetterFile stalled('a', &gate);
  LetterFile quick('b');
  char outer[4] = {}, inner[6] = {};
  ReadResult inner_result;
  // Inside the outer read's wait: a second read, queued behind the stalled one,
  // whose own wait then lets the stalled read finish.
  QTimer::singleShot(20, [&] {
    QTimer::singleShot(20, [&] { gate = true; });
    inner_result = reader.Read(quick, inner, sizeof inner);
  });
  const ReadResult outer_result = reader.Read(stalled, outer, sizeof outer);

  EXPECT_TRUE(outer_result.ok);
  EXPECT_EQ(outer_result.count, sizeof outer);
  EXPECT_EQ(std::string(outer, sizeof outer), "aaaa");
  EXPECT_TRUE(inner_result.ok);
  EXPECT_EQ(inner_result.count, sizeof inner);
  EXPECT_EQ(std::string(inner, sizeof inner), "bbbbbb");
}

}  // namespace
}  // namespace salvorine::test
