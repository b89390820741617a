#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/forwarding_file.h"

namespace salvorine {

// A row's copy as its pass writes it (see RowCopy). The pass closes its files
// when it stops; closing this only flushes, so that the copy stays open for
// its owner, which syncs its bytes before its map. Small blocks written one
// after another reach the file together, in one request of up to kGathered
// bytes: before anything else is done with the copy, and before its owner
// syncs, places or closes it; a block of kWrittenThrough bytes or more is
// written at once, after the blocks before it. The zeros that make
// a new copy its full size wait with them, and cost nothing when the blocks
// cover them: a small file read whole is one write, never an allocation too.
class PassView final : public ForwardingFile {
 public:
  static constexpr std::size_t kGathered = std::size_t{1} << 20;
  // A block this large is written as it comes: gathering it would only copy
  // it once more in memory, for a request that is large already.
  static constexpr std::size_t kWrittenThrough = std::size_t{64} << 10;

  // `empty`: the copy is new, so zeros written from its start make all of it.
  PassView(File& file, bool empty) : ForwardingFile(file), empty_(empty) {}

  void Seek(std::int64_t position) override;
  void Write(const void* buffer, std::size_t count) override;
  ReadResult Read(void* buffer, std::size_t count) override;
  std::optional<ReadResult> ReadIfReady(void* buffer, std::size_t count) override;
  void WriteZeros(std::int64_t count) override;
  std::int64_t Size() override;
  FileStatus Status() override;
  void Truncate() override;
  void Sync() override;
  void Close() override { Flush(); }

  // Writes the gathered blocks to the copy; a failed write is not tried again with the next block.
  void Flush();
  // Flush, and the memory it held goes back: a copy waiting for its next step holds none.
  void Release();

 private:
  void WriteThrough(const void* buffer, std::size_t count);

  bool empty_;                 // nothing was written to the copy yet
  std::int64_t zeros_ = 0;     // the new copy's zeros [0, zeros_), not yet written
  std::int64_t position_ = 0;
  std::int64_t pending_start_ = 0;
  std::vector<unsigned char> pending_;  // the blocks written from pending_start_ on, not yet in the copy
};

}  // namespace salvorine
