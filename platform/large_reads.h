#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

#include "platform/forwarding_file.h"

namespace salvorine {

// A file read in few, large requests while it reads well, for a caller that
// reads it in small blocks up to `end`: a request that succeeds whole
// delivers exactly what the blocks would have, so the rest of a small file,
// or about kRequestBytes (whole multiples of the caller's block) of a large
// one, is asked for at once and the blocks are served from it. Only a file
// that tells where a failed request failed is read this way (File::ReadAhead):
// the blocks before that point are served, the block holding it fails as its
// own read would have (without asking the file again), and from then on
// every read goes to the file as asked, as it does once the file reads directly.
class LargeReads final : public ForwardingFile {
 public:
  // What a Linux device reads ahead by default: a request no larger asks the
  // device for nothing block-by-block reading would not, so a damaged file
  // pays no failed read for it.
  static constexpr std::size_t kRequestBytes = std::size_t{128} << 10;

  LargeReads(File& inner, std::int64_t end, std::size_t request_bytes = kRequestBytes);

  void Seek(std::int64_t position) override;
  ReadResult Read(void* buffer, std::size_t count) override;
  std::optional<ReadResult> ReadIfReady(void* buffer, std::size_t count) override;
  void Write(const void* buffer, std::size_t count) override;
  void WriteZeros(std::int64_t count) override;
  void Truncate() override;
  void Close() override;
  bool ReadDirectly(std::int64_t sector) override;

 private:
  // How much of [position_, position_ + count) the held bytes answer; nothing when they cannot.
  std::optional<std::size_t> Held(std::size_t count) const;
  ReadResult Serve(void* buffer, std::size_t count);
  // Asks for a stretch from position_ that covers `count` bytes.
  void Fill(std::size_t count);
  void Forget();
  void StopLargeReads();

  const std::int64_t end_;  // no stretch reaches past it
  const std::size_t request_bytes_;
  std::int64_t position_ = 0;
  bool large_ = true;  // false once a request failed, the file cannot read ahead, or reads go direct
  std::unique_ptr<unsigned char[]> held_;
  std::size_t capacity_ = 0;
  std::int64_t held_start_ = 0;  // the held bytes: [held_start_, held_start_ + held_count_)
  std::size_t held_count_ = 0;
  bool held_to_end_ = false;  // they end at the end of the file
  std::optional<std::int64_t> failed_at_;  // where the last stretch failed, until a read meets it
  int failure_ = 0;                        // and the errno it failed with
};

}  // namespace salvorine
