#include "recovery/copy_identity.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/file_system_error.h"

namespace salvorine {
namespace {

// The first and last `kSampleBytes` of [start, end), as one range when they meet.
void AddEnds(std::int64_t start, std::int64_t end, std::vector<ByteRange>& ranges) {
  if (end <= start) return;
  if (end - start <= 2 * kSampleBytes) {
    ranges.push_back({start, end - start});
    return;
  }
  ranges.push_back({start, kSampleBytes});
  ranges.push_back({end - kSampleBytes, kSampleBytes});
}

}  // namespace

std::vector<ByteRange> FinishedSamples(const RescueMap& map) {
  const std::vector<RescueMap::Segment> done = map.SegmentsIn(RescueState::kDone);
  std::vector<ByteRange> ranges;
  if (done.empty()) return ranges;
  if (done.size() == 1) {
    AddEnds(done.front().start, done.front().end, ranges);
    return ranges;
  }
  ranges.push_back({done.front().start, std::min(kSampleBytes, done.front().end - done.front().start)});
  const std::int64_t last = std::max(done.back().start, done.back().end - kSampleBytes);
  ranges.push_back({last, done.back().end - last});
  return ranges;
}

std::vector<ByteRange> EndSamples(std::int64_t size) {
  std::vector<ByteRange> ranges;
  AddEnds(0, size, ranges);
  return ranges;
}

Likeness CompareSamples(File& source, File& copy, const std::vector<ByteRange>& ranges) {
  std::vector<char> from(static_cast<std::size_t>(2 * kSampleBytes));
  std::vector<char> saved(from.size());
  for (const ByteRange& range : ranges) {
    const auto length = static_cast<std::size_t>(range.length);
    if (length > from.size()) {
      from.resize(length);
      saved.resize(length);
    }
    source.Seek(range.start);
    const ReadResult read = source.Read(from.data(), length);
    if (!read.ok) return Likeness::kUnread;
    copy.Seek(range.start);
    const ReadResult kept = copy.Read(saved.data(), length);
    if (!kept.ok) throw FileSystemError(kept.error, copy.Path(), "read");
    if (read.count != length || kept.count != length) return Likeness::kDifferent;
    if (std::memcmp(from.data(), saved.data(), length) != 0) return Likeness::kDifferent;
  }
  return ranges.empty() ? Likeness::kUnread : Likeness::kSame;
}

}  // namespace salvorine
