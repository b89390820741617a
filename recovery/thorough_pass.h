#pragma once

#include "recovery/file_pass.h"

namespace salvorine {

// The "Thorough" mode: the Max Data pass first, then a rescue of whatever it
// left unread, in whole sectors of the medium counted from the start of the
// file (RunOptions::SectorSize, or what the medium reports), read straight
// from the device where the file system allows (File::ReadDirectly), so that
// a failed read never takes a readable sector along:
// 1. edges: from each end of the unread range inward until a sector fails;
// 2. probes: single sectors in the largest untried stretch first, at most
//    8 KiB apart (finer near small readable islands already found); a probe
//    that reads is widened both ways until a sector fails;
// 3. scrape: every sector still untried, read once, stretches near data
//    found and wide ones first;
// 4. retries: the sectors still bad, up to RunOptions::Retries more times.
// Reads are one sector near damage and grow while they read elsewhere; a
// larger read that fails is gone over sector by sector. Failed reads are what
// a rescue costs on a damaged disc, so this order gets the most data for the
// failed reads paid at every moment. Sectors never tried (after a Stop) stay
// zero; the Damaged cell counts them with the failed ones and is exact after
// every read, as is the Completed cell. Refused direct reads are told once
// through ProgressDisplay::ShowNotice and kept in the status line.
// When `map` (of [0, size)) is given, it learns which bytes were read and
// which a read failed on, as RecoverFile's does.
// With RescueReach::kEdges the rescue ends after step 1, and the map keeps
// the sectors not tried yet for RescueUntried: a run gets the bulk of every
// file's readable bytes before it pays for the long stretches of damage.
enum class RescueReach {
  kEdges,       // step 1 only
  kWideProbes,  // then only the probes into long untried stretches
  kProbes,      // then all the probes
  kAll,
};
PassResult RecoverFileThoroughly(File& source, File& copy, int row, std::int64_t size, Clock::TimePoint run_start,
                                 PassContext& context, RescueMap* map = nullptr, RescueReach reach = RescueReach::kAll);

// The rescue alone (edges, probes, scrape, retries) over `unread`, a range the first
// pass left; `unread_outside` counts the other bytes of the file not
// recovered, for the figures. A resumed copy's unfinished ranges go through
// the first pass and then this, one range at a time.
PassResult RescueUnread(File& source, File& copy, int row, std::int64_t size, const ByteRange& unread,
                        std::int64_t unread_outside, Clock::TimePoint run_start, PassContext& context,
                        RescueMap* map = nullptr, RescueReach reach = RescueReach::kAll);

// The first pass over `range` of a copy that holds the rest of the file (a
// resumed copy's unfinished range, a sparse file's stretch of data), then
// the rescue of what it leaves; `map` (of [0, size)) learns both.
PassResult RecoverRangeThoroughly(File& source, File& copy, int row, std::int64_t size, const ByteRange& range,
                                  Clock::TimePoint run_start, PassContext& context, RescueMap& map,
                                  RescueReach reach = RescueReach::kAll);

// Steps 2 to 4 of a rescue whose edges were read before: probes, scrape and
// retries over every byte of the file that `map` (of [0, size)) marks
// untried; `map` learns each read at once. RescueReach::kWideProbes and
// kProbes stop before the scrape, the first after the probes into long
// untried stretches and the islands they find: a run takes each step in
// every file before the next step in any.
PassResult RescueUntried(File& source, File& copy, int row, std::int64_t size, Clock::TimePoint run_start,
                         PassContext& context, RescueMap& map, RescueReach reach);

// Whether `map` holds anything for RescueUntried: untried bytes, or bad ones to retry.
bool LeftForRescue(const RescueMap& map, const RunOptions& options);

}  // namespace salvorine
