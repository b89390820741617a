#pragma once

#include <string>
#include <vector>

#include "recovery/run_ports.h"

namespace salvorine {

// The files of a selection: the path itself when it names a file, otherwise
// every file below it, depth first, each folder's entries in name order.
// Links to folders are not followed; FIFOs, sockets and devices are left out.
void CollectSources(const std::string& path, std::vector<std::string>& sources);

// Drops (and announces) the sources that cannot be opened, then lays the rest
// out as rows 1..N of `table`: path, size, "0 (0%)", "0 (0%)".
void BuildJobTable(std::vector<std::string>& sources, JobTable& table, Dialogs& dialogs);

// "<path>\rFile access denied.", the text shown for a file that cannot be opened.
std::string AccessDeniedText(const std::string& path);

}  // namespace salvorine
