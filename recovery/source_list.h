#pragma once

#include <set>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/file_system.h"
#include "recovery/run_ports.h"

namespace salvorine {

// Something below the selection that is not recovered, and why: a folder
// that could not be read (kFolder, with the errno), or an entry that is not a
// file to recover (a special file, a link not followed, one that could not be
// examined, with the errno).
struct LeftOut {
  std::string path;
  EntryKind kind = EntryKind::kUnreadable;
  int error = 0;
};

// The files of a selection: the path itself when it names a file, otherwise
// every file below it, depth first, each folder's entries in name order.
// Links to folders are not followed. Whatever cannot be collected (a folder
// that cannot be read, a FIFO, a socket, a device, a broken link, a name too
// long) goes to `left_out` instead.
void CollectSources(const std::string& path, std::vector<std::string>& sources, std::vector<LeftOut>& left_out);

// Drops (and announces) the sources that cannot be opened, then lays the rest
// out as rows 1..N of `table`: path, size, "0 (0%)", "0 (0%)", each row
// pending. Returns the identities of the listed files. Each file is opened once.
std::set<FileIdentity> BuildJobTable(std::vector<std::string>& sources, JobTable& table, Dialogs& dialogs);

}  // namespace salvorine
