#include "recovery/copy_identity.h"

#include <algorithm>
#include <cstring>

#include "platform/file_system_error.h"

namespace salvorine {
namespace {

// The file position of the `offset`th finished byte.
std::int64_t PositionOf(const std::vector<RescueMap::Segment>& done, std::int64_t offset) {
  for (const RescueMap::Segment& segment : done) {
    if (offset < segment.end - segment.start) return segment.start + offset;
    offset -= segment.end - segment.start;
  }
  return done.back().end;
}

// The sample that starts `offset` finished bytes in: as long as kSampleBytes
// allow within its segment, so that a sample never crosses unfinished bytes.
ByteRange SampleAt(const std::vector<RescueMap::Segment>& done, std::int64_t offset) {
  const std::int64_t at = PositionOf(done, offset);
  const auto segment = std::find_if(done.begin(), done.end(), [&](const auto& s) { return at < s.end; });
  return {at, std::min(kSampleBytes, segment->end - at)};
}

}  // namespace

std::vector<ByteRange> FinishedSamples(const RescueMap& map) {
  const std::vector<RescueMap::Segment> done = map.SegmentsIn(RescueState::kDone);
  const std::int64_t finished = map.Total(RescueState::kDone);
  std::vector<ByteRange> ranges;
  if (finished == 0) return ranges;
  // Sample starts at even steps over the finished bytes, the last one ending with them.
  const std::int64_t last_start = std::max<std::int64_t>(0, finished - kSampleBytes);
  const std::int64_t count = std::min<std::int64_t>(kMostSamples, last_start / kSampleBytes + 1);
  for (std::int64_t i = 0; i < count; ++i) {
    const std::int64_t offset = count == 1 ? 0 : last_start * i / (count - 1);
    ranges.push_back(SampleAt(done, offset));
  }
  if (count == 1 && ranges.front().length < finished) {
    // A short first segment: the last sample still ends with the finished bytes.
    const std::int64_t end = done.back().end;
    const std::int64_t start = std::max(done.back().start, end - kSampleBytes);
    if (start != ranges.front().start) ranges.push_back({start, end - start});
  }
  return ranges;
}

std::vector<ByteRange> WholeFileSamples(std::int64_t size) {
  RescueMap whole(0, size);
  whole.Set(0, size, RescueState::kDone);
  return FinishedSamples(whole);
}

Likeness CompareSamples(File& source, File& copy, const std::vector<ByteRange>& ranges) {
  std::vector<char> from(static_cast<std::size_t>(kSampleBytes));
  std::vector<char> saved(from.size());
  bool any_read = false;
  for (const ByteRange& range : ranges) {
    const auto length = static_cast<std::size_t>(range.length);
    if (length > from.size()) {
      from.resize(length);
      saved.resize(length);
    }
    source.Seek(range.start);
    const ReadResult read = source.Read(from.data(), length);
    if (!read.ok) continue;
    any_read = true;
    copy.Seek(range.start);
    const ReadResult kept = copy.Read(saved.data(), length);
    if (!kept.ok) throw FileSystemError(kept.error, copy.Path(), "read");
    if (read.count != length || kept.count != length) return Likeness::kDifferent;
    if (std::memcmp(from.data(), saved.data(), length) != 0) return Likeness::kDifferent;
  }
  return any_read ? Likeness::kSame : Likeness::kUnread;
}

}  // namespace salvorine
