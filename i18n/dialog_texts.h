#pragma once

#include "i18n/window_texts.h"

namespace salvorine {

// Texts of the windows that show a report, a map or the manual inside the program.
inline constexpr WindowText kFolderUnopenedText{130, "No program could open the folder:"};
// The damage report's columns, in the report's order.
inline constexpr WindowText kReportColumnTexts[7] = {{131, "File"},    {132, "Size"},  {133, "Recovered"},
                                                       {134, "Damaged"}, {180, "Unread"}, {135, "State"},
                                                       {136, "Map"}};
inline constexpr WindowText kOpenMapText{137, "Open Map"};
// The report's state words (ok, damaged, unsaved, stopped, pending) as shown.
inline constexpr WindowText kReportStateTexts[5] = {
    {138, "whole"}, {139, "damaged"}, {140, "not saved"}, {141, "stopped"}, {142, "not reached"}};
inline constexpr WindowText kReportUnreadableText{143, "Cannot read the damage report:"};

}  // namespace salvorine
