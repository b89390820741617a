#pragma once

#include <cstdint>
#include <map>

namespace salvorine {

// Probes into untried stretches lie at most this far apart, so a readable
// island of this size inside a bad area is always found.
inline constexpr std::int64_t kProbeSpacing = 8192;

// How far apart the probes into unread stretches may lie, position by
// position: `coarse` everywhere until Refine narrows it where a small island
// of readable data showed that the damage there is finer than that.
class ProbeSpacing {
 public:
  explicit ProbeSpacing(std::int64_t coarse) : steps_{{0, coarse}} {}

  // Lowers the spacing over [start, end) to at most `spacing` (start >= 0).
  void Refine(std::int64_t start, std::int64_t end, std::int64_t spacing);
  // The smallest spacing anywhere in [start, end) (start < end).
  std::int64_t Over(std::int64_t start, std::int64_t end) const;

 private:
  std::int64_t At(std::int64_t position) const { return std::prev(steps_.upper_bound(position))->second; }

  // A step function: each key's spacing holds up to the next key.
  std::map<std::int64_t, std::int64_t> steps_;
};

// What the probes into one file's untried stretches learned so far: where
// they must lie closer, and how many of them read. It outlives each step of
// the file's rescue, so that a file that waits for others goes on as it left off.
struct ProbeRecord {
  ProbeSpacing spacing{kProbeSpacing};
  std::int64_t tried = 0;  // read >= 0 && tried >= read
  std::int64_t read = 0;
  double next_worth = 0;  // what the next probe is worth, as the last step left it; 0: none is left
  bool edges_read = false;  // the ends of what the first pass left were narrowed (RescueUntriedSectors)

  // The readable bytes a probe into an untried stretch of `length` is
  // expected to lead to per failed read: the stretch times the share of this
  // file's probes that read (one read in two before any was tried).
  double WorthOf(std::int64_t length) const {
    return static_cast<double>(length) * (static_cast<double>(read) + 1) / (static_cast<double>(tried) + 2);
  }
};

// Where in an untried stretch of `length` bytes its probe goes, from its
// start: at the golden section, never at a binary fraction, so that probes
// halving stretch after stretch do not fall in step with damage that repeats
// (a scratch across the tracks). At least `least` in, when the stretch allows.
std::int64_t ProbeOffset(std::int64_t length, std::int64_t least);

}  // namespace salvorine
