#pragma once

#include "recovery/probe_spacing.h"
#include "recovery/rescue_figures.h"
#include "recovery/rescue_target.h"

namespace salvorine {

// The "Thorough" mode's rescue of what the first pass left unread, in whole
// sectors of the medium counted from the start of the file
// (RunOptions::SectorSize, or what the medium reports), read straight from
// the device where the file system allows (File::ReadDirectly), so that a
// failed read never takes a readable sector along:
// 1. edges: from each end of the unread range inward until a sector fails
//    (a sector at an end that the first pass found bad is not read again);
// 2. probes: single sectors in the largest untried stretch first, at most
//    8 KiB apart (finer near small readable islands already found), each at
//    the golden section of its stretch; a probe that reads is widened both
//    ways until a sector fails;
// 3. scrape: every sector still untried, read once, stretches near data
//    found and wide ones first;
// 4. retries: the sectors still bad, up to RunOptions::Retries more times.
// Reads are one sector near damage and grow while they read elsewhere; a
// larger read that fails is gone over sector by sector. Failed reads are what
// a rescue costs on a damaged disc, so this order gets the most data for the
// failed reads paid at every moment. Sectors never tried (after a Stop) stay
// zero; the figures count them with the failed ones as damaged, exact after
// every read. Refused direct reads are told once through
// ProgressDisplay::ShowNotice and kept in the status line. The target's map
// learns each read at once.

// Steps 1 to `reach` over `unread`, a range the first pass left; the map keeps
// the sectors not tried yet for RescueUntriedSectors.
PassResult RescueSectors(const RescueTarget& target, PassContext& context, RescueFigures& figures,
                         const ByteRange& unread, RescueReach reach);

// Steps 2 to `reach` of a rescue over every byte the map marks untried
// (nothing for kEdges), with what earlier steps' probes learned (`probes`,
// which learns this step's); first, unless `probes` says they were read,
// the edges of every untried stretch that read data or an end of the file
// borders (what a first pass left, its failed blocks not yet narrowed). kProbes stops before
// the scrape, once the next probe is worth less than `yield_below`: a run
// takes the probes of all its files in the order of their worth, and the
// scrape of any only after.
PassResult RescueUntriedSectors(const RescueTarget& target, PassContext& context, RescueFigures& figures,
                                RescueReach reach, ProbeRecord& probes, double yield_below);

// Whether `map` holds anything for RescueUntriedSectors: untried bytes, or bad ones to retry.
bool LeftForRescue(const RescueMap& map, const RunOptions& options);

}  // namespace salvorine
