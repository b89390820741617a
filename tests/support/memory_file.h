#pragma once

#include <chrono>
#include <climits>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/file.h"

namespace salvorine::test {

struct ByteRange {
  std::int64_t start = 0;
  std::int64_t length = 0;
  bool Overlaps(std::int64_t from, std::int64_t count) const {
    return count > 0 && from < start + length && start < from + count;
  }
};

// A file held in memory with scripted damage: reads that overlap a bad range
// fail (a flaky range only its first `failures` times), and reads that overlap
// a slow range advance the test's clock. Every request is logged.
class MemoryFile final : public File {
 public:
  struct Read {
    std::int64_t position;
    std::int64_t count;
    bool ok;
    std::int64_t sector = 0;  // the direct reads' sector when the read was direct, else 0
  };
  struct Flaky {
    ByteRange range;
    int failures;
  };
  struct Slow {
    ByteRange range;
    std::chrono::steady_clock::duration delay;
  };

  explicit MemoryFile(std::vector<unsigned char> content, std::string path = "memory")
      : content_(std::move(content)), path_(std::move(path)) {}

  std::vector<ByteRange> bad;
  std::vector<Flaky> flaky;
  std::vector<Slow> slow;
  std::function<void(std::chrono::steady_clock::duration)> on_slow;  // usually FakeClock::Advance
  std::int64_t capacity = INT64_MAX;  // writes beyond it fail as a full disk
  std::vector<Read> reads;
  using ReadRecord = Read;
  std::function<void(const ReadRecord&)> on_read;  // told of each read: the log outlives the file
  bool closed = false;
  // > 0: ReadAhead answers, and places a failure at the start of the unit of
  // this size that holds the first byte it failed on, as the page cache does.
  std::int64_t ahead_unit = 0;
  // > 0: the first ordinary read that fails turns direct reads of this
  // sector on, as the platform's file does near damage.
  std::int64_t direct_after_failure = 0;

  const std::string& Path() const override { return path_; }
  void Seek(std::int64_t position) override;
  ReadResult Read(void* buffer, std::size_t count) override;
  std::optional<AheadRead> ReadAhead(void* buffer, std::size_t count) override;
  void Write(const void* buffer, std::size_t count) override;
  std::int64_t Size() override { return static_cast<std::int64_t>(content_.size()); }
  void Truncate() override { content_.resize(static_cast<std::size_t>(position_)); }
  void Close() override { closed = true; }
  std::int64_t BlockSize() override { return block_size; }
  std::int64_t block_size = 512;
  // Direct reads: refused at the start, or at the first read, as some file systems do.
  enum class Direct { kAccepted, kRefusedAtOpen, kRefusedAtRead } direct = Direct::kAccepted;
  bool ReadDirectly(std::int64_t sector) override;
  bool ReadsDirectly() const override { return direct_sector_ > 0; }

  const std::vector<unsigned char>& Content() const { return content_; }

 private:
  std::vector<unsigned char> content_;
  std::string path_;
  std::int64_t position_ = 0;
  std::int64_t direct_sector_ = 0;
};

// Bytes 0..size-1 with a pattern that tells positions apart.
std::vector<unsigned char> Numbered(std::int64_t size);

}  // namespace salvorine::test
