#pragma once

#include "i18n/window_texts.h"

namespace salvorine {

// The damage map under the job table: the name of each state, a cell's
// tooltip (%1 and %2 the first and last byte, %3 the file's size; then one
// line per state, %1 the state, %2 its bytes), and what it shows with no row.
inline constexpr WindowText kMapFinishedText{110, "Finished"};
inline constexpr WindowText kMapBadText{111, "Unreadable"};
inline constexpr WindowText kMapUntriedText{112, "Not tried yet"};
inline constexpr WindowText kMapReadingText{113, "Being read now"};
inline constexpr WindowText kMapRangeText{114, "Bytes %1 to %2 of %3"};
inline constexpr WindowText kMapCountText{115, "%1: %2 bytes"};
inline constexpr WindowText kMapEmptyText{116, "Select a file to see its damage map."};

// The activity line during a run: bytes done of all (%1, %2), the speed, the time left.
inline constexpr WindowText kBytesDoneText{117, "%1 of %2 bytes"};
inline constexpr WindowText kKilobytesPerSecondText{118, "%1 KB/s"};
inline constexpr WindowText kMegabytesPerSecondText{119, "%1 MB/s"};
inline constexpr WindowText kTimeLeftText{120, "about %1 left"};
inline constexpr WindowText kStoppingText{121, "Stopping after the current read"};
// The same bytes done of all (%1, %2) in units a person reads; the exact
// count (kBytesDoneText) goes in the tooltip.
inline constexpr WindowText kSizeDoneText{226, "%1 of %2"};
// A byte count exactly, where a tooltip gives what a cell or a line shows in units.
inline constexpr WindowText kExactBytesText{300, "%1 {1:byte|bytes}"};
// What a Thorough run does once every file had its first pass: %1 of %2 the damaged files.
inline constexpr WindowText kDamagedFilesText{227, "Rescuing damaged files: %1 of %2"};
// The sector-by-sector stages, each with its progress in sectors.
inline constexpr WindowText kBetweenBadAreasText{228, "Rescuing between bad areas: %1 of %2 sectors"};
inline constexpr WindowText kSectorsLeftText{229, "Trying the sectors left, %1 to go"};
inline constexpr WindowText kRetryingText{230, "Retrying bad sectors: %1 of %2"};

// The command that ends the pass over the file being read, and the tooltip of a row it ended.
inline constexpr WindowText kSkipFileText{122, "Skip File"};
inline constexpr WindowText kRowSkippedText{123, "Skipped: saved as far as it got, with its map"};

// What a run found of earlier runs in its save folder: in the summary
// (%1 rows saved whole before, %2 continued), and under those rows' tooltips.
inline constexpr WindowText kEarlierCopiesText{124, "%1 already complete, %2 continued"};
inline constexpr WindowText kRowContinuedText{125, "Continued from the copy an earlier run left"};
// Over the list of what a run left out of its selection; %1 the number of entries.
inline constexpr WindowText kLeftOutListText{
    127, "%1 {1:entry|entries} below the selection {1:was|were} left out of the run:"};
inline constexpr WindowText kRowTakenWholeText{126, "Already saved whole by an earlier run: not read again"};

}  // namespace salvorine
