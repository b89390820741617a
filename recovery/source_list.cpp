#include "recovery/source_list.h"

#include "i18n/failure_wording.h"
#include "platform/file_system.h"
#include "platform/file_system_error.h"

namespace salvorine {
namespace {

// `folder` is "" for the root folder, so that children read "/name".
void Enumerate(const std::string& folder, std::vector<std::string>& sources, std::vector<LeftOut>& left_out) {
  FolderSearch search;
  FolderEntry entry;
  for (bool found = search.FindFirst(folder.empty() ? "/" : folder, entry); found; found = search.FindNext(entry)) {
    const std::string child = folder + "/" + entry.name;
    if (entry.kind == EntryKind::kFolder) {
      Enumerate(child, sources, left_out);
    } else if (entry.kind == EntryKind::kFile) {
      sources.push_back(child);
    } else {
      left_out.push_back({child, entry.kind, entry.error});
    }
  }
  if (search.Error() != 0) {
    left_out.push_back({folder.empty() ? "/" : folder, EntryKind::kFolder, search.Error()});
  }
}

}  // namespace

void CollectSources(const std::string& path, std::vector<std::string>& sources, std::vector<LeftOut>& left_out) {
  // Nothing selected collects nothing (and never the whole root).
  if (path.empty()) return;
  if (FileExists(path)) {
    sources.push_back(path);
    return;
  }
  Enumerate(path.back() == '/' ? path.substr(0, path.size() - 1) : path, sources, left_out);
}

std::set<FileIdentity> BuildJobTable(std::vector<std::string>& sources, JobTable& table, Dialogs& dialogs) {
  std::vector<FileStatus> statuses;
  for (auto it = sources.begin(); it != sources.end();) {
    try {
      auto file = OpenRead(*it);
      statuses.push_back(file->Status());
      file->Close();
      ++it;
    } catch (const FileSystemError& error) {
      dialogs.ShowError(OpenFailureText(*it, error));
      it = sources.erase(it);
    }
  }
  table.SetRowCount(static_cast<int>(sources.size()) + 1);
  table.ClearFigures();
  std::set<FileIdentity> identities;
  for (std::size_t i = 0; i < sources.size(); ++i) {
    const int row = static_cast<int>(i) + 1;
    table.SetCell(0, row, sources[i]);
    table.StartRow(row, statuses[i].size);
    identities.insert(statuses[i].identity);
  }
  if (table.RowCount() > 1) table.SetFixedRows(1);
  return identities;
}

}  // namespace salvorine
