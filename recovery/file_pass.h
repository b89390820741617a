#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "platform/large_reads.h"
#include "recovery/rescue_figures.h"
#include "recovery/rescue_target.h"

namespace salvorine {

// 1024-byte blocks for files under this size, kLargeBlock for the rest.
inline constexpr std::int64_t kLargeFileThreshold = 1000000;

std::int64_t BlockSizeFor(std::int64_t file_size);

// The first pass over [range.start, range.End()) of a rescue's file (Max Data,
// or Max Speed, whose reads of more than 10 whole seconds count as failed):
// reads forward block by block until a read fails, then backward from the end
// until a read fails or the two directions meet, and reads once more whatever
// lies between them. The map learns which bytes were read and which a read
// failed on; the figures learn what the pass gives up. A failed write or seek
// raises FileSystemError.
//
// In Thorough mode the forward pass ends at its first failed block, and the
// backward pass reads the last sector, then blocks on the sector grid
// (RescueSectorSize; read directly where the file system allows) down to
// that block's end, until one fails. Which sectors of the two failed blocks
// are bad is left to the sector rescue (a failed direct read inside one
// sector is that sector's failure, marked bad): in a run it narrows them
// when the file's turn comes, so the bulk of every damaged file is in before
// any is narrowed, and no damage is paid for from both sides.
class FirstPass {
 public:
  FirstPass(const RescueTarget& target, PassContext& context, RescueFigures& figures, ByteRange range);

  // The copy becomes exactly the file's size in zero bytes, so that whatever
  // is never read stays zero: one request for the whole file, which also reserves its space.
  void Prefill();
  // Forward, then backward; kStopped, the files closed, when the pass was ended.
  PassResult Run();
  // What the pass could not read; length 0 when it read everything.
  const ByteRange& UnreadRange() const { return unread_; }

 private:
  bool Forward();
  bool Backward();
  bool BackwardToDamage();
  void UseSectors();
  std::int64_t SectorStart(std::int64_t pos) const { return pos / sector_ * sector_; }
  // The end of the sector holding `pos`; the last sector ends with the file.
  std::int64_t SectorEnd(std::int64_t pos) const { return std::min(SectorStart(pos) + sector_, size_); }
  bool Head(std::int64_t length);
  void Gap(std::int64_t start, std::int64_t length);
  ReadResult TimedRead(std::int64_t count);
  PassResult Stop();
  void AfterBlock();
  void Keep(std::int64_t start, std::size_t count);
  void Failed(std::int64_t start, std::int64_t length);
  void Unread(std::int64_t start, std::int64_t length);
  static std::size_t Count(std::int64_t bytes) { return static_cast<std::size_t>(bytes); }

  LargeReads reader_;  // the source, healthy stretches of it in large requests
  File& source_;
  File& copy_;
  RescueMap& map_;
  const std::int64_t size_;
  const std::int64_t lo_;  // the range read: [lo_, hi_)
  const std::int64_t hi_;
  const std::int64_t block_;
  PassContext& context_;
  RescueFigures& figures_;
  unsigned char* const buffer_;
  const bool narrows_;            // Thorough: failed blocks are left to the sector rescue
  std::int64_t sector_ = 0;       // the rescue's sector, known from the first failed block on
  std::int64_t failed_end_ = 0;   // Thorough: the end of the forward pass's failed block; 0 when none failed
  std::int64_t read_end_ = 0;     // where the forward pass failed; hi_ when it did not
  bool cut_off_ = false;          // the last timed read was rejected as slow
  bool forward_cut_off_ = false;  // the forward pass ended on such a read
  ByteRange unread_;              // what the pass could not read; length 0 when it read everything
};

}  // namespace salvorine
