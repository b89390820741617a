#pragma once

#include <set>
#include <string>
#include <vector>

#include "i18n/message_table.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "recovery/run_ports.h"

namespace salvorine {

// The files a run reads and what it left out of its selection.
struct Selection {
  std::vector<std::string> sources;     // the table's rows 1..N
  std::set<FileIdentity> identities;  // of the sources: no copy may replace one
  int left_out = 0;                   // files and folders below the selection left out, and announced
};

// Collects the files of `root` and lays them out in `table`; whatever the
// collection leaves out, or cannot open, is announced through `dialogs` in
// one list: a damaged disc can hold thousands of such entries.
Selection CollectSelection(const std::string& root, JobTable& table, Dialogs& dialogs, const MessageTable& messages);

// Whether the save folder is the selection or lies below it, links resolved:
// the run would then write into what it reads.
bool SaveFolderInsideSelection(const std::string& selection, const std::string& save_folder);

// Creates the save folder `folder` ("/"-terminated) and every missing folder
// above it, each with the umask's permissions, as the user would with mkdir -p.
void MakeSaveFolder(const std::string& folder);

}  // namespace salvorine
