#pragma once

#include "recovery/file_pass.h"

namespace salvorine {

// The "Thorough" mode: the Max Data pass first, then a rescue of whatever it
// left unread, so that scattered damage costs only its own sectors:
// 1. copy the range in blocks, skipping ahead after a failure (one block,
//    doubling with each failure in a row, up to a tenth of the range);
// 2. trim each failed block sector by sector from both edges inward until a
//    read fails;
// 3. scrape every sector still unread, once.
// The copy ends up holding every byte that was read and zeros elsewhere; the
// Damaged cell shows the bytes left unread.
PassResult RecoverFileThoroughly(File& source, File& copy, int row, std::int64_t size, Clock::TimePoint run_start,
                                 PassContext& context);

}  // namespace salvorine
