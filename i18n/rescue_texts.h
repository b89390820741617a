#pragma once

#include "i18n/window_texts.h"

namespace salvorine {

// Texts of Thorough's rescue, after the table's entries.
inline constexpr WindowText kDirectReadsRefusedText{
    82, "The file system refuses direct reads: Thorough reads through the cache, and a bad sector may take its "
        "neighbours along"};
inline constexpr WindowText kRetriesText{83, "Retries of bad sectors (Thorough):"};

}  // namespace salvorine
