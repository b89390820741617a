#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "recovery/probe_spacing.h"
#include "recovery/rescue_figures.h"
#include "recovery/rescue_target.h"

namespace salvorine {

// The rescue of one file: its target (source, copy, map) and the run's
// context, with the passes as members. While it runs it alone writes the
// row's figures, from its map (see RescueFigures). Each public step ends
// with kStopped, source and copy closed, when Stop or Skip file ended it;
// after kDone the row shows the pass complete and every byte not recovered
// as damaged. The row's end (saved, damaged, stopped, skipped) is shown from
// the map once the copy is placed (ShowOutcome).
class FileRescue {
 public:
  FileRescue(const RescueTarget& target, PassContext& context)
      : target_(target), context_(context), figures_(target_, context) {}
  FileRescue(const FileRescue&) = delete;
  FileRescue& operator=(const FileRescue&) = delete;

  // A new copy: the first pass over the whole file, then the sector rescue of
  // what it left, as far as `reach`.
  PassResult Copy(RescueReach reach);
  // An earlier copy goes on: only what the map does not mark finished is read,
  // range by range, and written into that copy in place. Asked to start
  // afresh, every byte is read again, and a byte the map marks finished stays
  // so where the source no longer reads it: the copy keeps it.
  PassResult Continue(RescueReach reach);
  // The next steps, up to `reach`, of a sector rescue whose edges were read:
  // over every byte the map marks untried (or bad, for the retries), with
  // what its earlier probes learned; see RescueUntriedSectors.
  PassResult RescueUntried(RescueReach reach, ProbeRecord& probes, double yield_below);

 private:
  using Extents = std::vector<std::pair<std::int64_t, std::int64_t>>;
  PassResult CopyStretches(const Extents& extents, RescueReach reach);
  PassResult ContinueAfresh(RescueReach reach);
  PassResult FirstPassThenRescue(const ByteRange& range, RescueReach reach);
  PassResult RescueUnread(const ByteRange& unread, RescueReach reach);
  PassResult StepDone();

  RescueTarget target_;
  PassContext& context_;
  RescueFigures figures_;
};

}  // namespace salvorine
