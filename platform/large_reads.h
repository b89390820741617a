#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/forwarding_file.h"

namespace salvorine {

// A source read in few, large requests while it reads well: a request that
// succeeds whole delivers exactly what the caller's smaller reads would have,
// so a stretch is asked of the file as one request (the rest of a small file,
// about `request_bytes` otherwise, in whole multiples of the caller's read)
// and the caller's reads are served from it. At the first failed request,
// and for good once the file reads directly (near damage, or at a sector
// rescue's request), every read goes to the file exactly as asked, so damage
// is met in the caller's own blocks.
class LargeReads final : public ForwardingFile {
 public:
  static constexpr std::size_t kRequestBytes = std::size_t{1} << 20;

  explicit LargeReads(std::unique_ptr<File> inner, std::size_t request_bytes = kRequestBytes);
  // Over a file someone else owns.
  explicit LargeReads(File& inner, std::size_t request_bytes = kRequestBytes);

  void Seek(std::int64_t position) override;
  ReadResult Read(void* buffer, std::size_t count) override;
  std::optional<ReadResult> ReadIfReady(void* buffer, std::size_t count) override;
  void Write(const void* buffer, std::size_t count) override;
  void WriteZeros(std::int64_t count) override;
  void Truncate() override;
  void Close() override;
  bool ReadDirectly(std::int64_t sector) override;

 private:
  // The part of [position_, position_ + count) the held stretch answers; nothing when it cannot.
  std::optional<std::size_t> Held(std::size_t count) const;
  ReadResult Serve(void* buffer, std::size_t count);
  // Asks for a stretch from position_ that covers `count` bytes; false when it failed.
  bool Fill(std::size_t count);
  void StopLargeReads();

  std::unique_ptr<File> owned_;
  const std::size_t request_bytes_;
  std::int64_t size_;                 // the file's size at open: no stretch reaches past it
  std::int64_t position_ = 0;
  bool large_ = true;                 // false after a failed request, or once reads go direct
  std::unique_ptr<unsigned char[]> held_;
  std::size_t capacity_ = 0;
  std::int64_t held_start_ = 0;       // the held stretch: [held_start_, held_start_ + held_count_)
  std::size_t held_count_ = 0;
  bool held_to_end_ = false;          // the stretch ended at the end of the file
};

}  // namespace salvorine
