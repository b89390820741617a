#include "tests/support/memory_file.h"

#include <cerrno>
#include <cstring>

#include "platform/file_system_error.h"

namespace salvorine::test {

void MemoryFile::Seek(std::int64_t position) {
  if (position < 0) throw FileSystemError(EINVAL, path_, "seek in");
  position_ = position;
}

bool MemoryFile::ReadDirectly(std::int64_t sector) {
  direct_sector_ = direct == Direct::kRefusedAtOpen ? 0 : sector;
  return direct_sector_ > 0;
}

ReadResult MemoryFile::Read(void* buffer, std::size_t count) {
  if (direct == Direct::kRefusedAtRead) direct_sector_ = 0;
  const auto size = static_cast<std::int64_t>(content_.size());
  const std::int64_t available = std::max<std::int64_t>(0, std::min<std::int64_t>(static_cast<std::int64_t>(count), size - position_));
  bool ok = true;
  for (const ByteRange& range : bad) ok = ok && !range.Overlaps(position_, available);
  for (Flaky& spot : flaky) {
    if (spot.failures > 0 && spot.range.Overlaps(position_, available)) {
      --spot.failures;
      ok = false;
    }
  }
  for (const Slow& spot : slow) {
    if (spot.range.Overlaps(position_, available) && on_slow) on_slow(spot.delay);
  }
  reads.push_back({position_, static_cast<std::int64_t>(count), ok, direct_sector_});
  if (on_read) on_read(reads.back());
  if (!ok && direct_sector_ == 0 && direct_after_failure > 0) direct_sector_ = direct_after_failure;
  if (!ok) return {false, 0, EIO};
  if (available > 0) std::memcpy(buffer, content_.data() + position_, static_cast<std::size_t>(available));
  position_ += available;
  return {true, static_cast<std::size_t>(available), 0};
}

std::optional<AheadRead> MemoryFile::ReadAhead(void* buffer, std::size_t count) {
  if (ahead_unit <= 0) return std::nullopt;
  const std::int64_t start = position_;
  const std::int64_t available =
      std::max<std::int64_t>(0, std::min<std::int64_t>(static_cast<std::int64_t>(count), Size() - start));
  std::int64_t first_failing = start + available;
  for (const ByteRange& range : bad) {
    if (range.Overlaps(start, available)) first_failing = std::min(first_failing, std::max(start, range.start));
  }
  for (const Flaky& spot : flaky) {
    if (spot.failures > 0 && spot.range.Overlaps(start, available)) {
      first_failing = std::min(first_failing, std::max(start, spot.range.start));
    }
  }
  const ReadResult got = Read(buffer, count);
  if (got.ok) return AheadRead{got, std::nullopt};
  const std::int64_t unit_start = std::max(start, first_failing / ahead_unit * ahead_unit);
  if (unit_start > start) std::memcpy(buffer, content_.data() + start, static_cast<std::size_t>(unit_start - start));
  return AheadRead{got, static_cast<std::size_t>(unit_start - start)};
}

void MemoryFile::Write(const void* buffer, std::size_t count) {
  const std::int64_t end = position_ + static_cast<std::int64_t>(count);
  if (end > capacity) throw FileSystemError(ENOSPC, path_, "write to");
  if (end > static_cast<std::int64_t>(content_.size())) content_.resize(static_cast<std::size_t>(end));
  if (count > 0) std::memcpy(content_.data() + position_, buffer, count);  // an empty copy has no data() yet
  position_ = end;
}

std::vector<unsigned char> Numbered(std::int64_t size) {
  std::vector<unsigned char> bytes(static_cast<std::size_t>(size));
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<unsigned char>((i * 7 + i / 251) % 251 + 1);
  return bytes;
}

}  // namespace salvorine::test
