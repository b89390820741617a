#include "recovery/source_list.h"

#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/file_system_error.h"
#include "recovery/figures.h"

namespace salvorine {
namespace {

// `folder` is "" for the root folder, so that children read "/name".
void Enumerate(const std::string& folder, std::vector<std::string>& sources) {
  FolderSearch search;
  FolderEntry entry;
  for (bool found = search.FindFirst(folder.empty() ? "/" : folder, entry); found; found = search.FindNext(entry)) {
    const std::string child = folder + "/" + entry.name;
    if (entry.kind == EntryKind::kFolder) {
      Enumerate(child, sources);
    } else if (entry.kind == EntryKind::kFile) {
      sources.push_back(child);
    }
  }
}

bool CanOpen(const std::string& path) {
  try {
    OpenRead(path)->Close();
    return true;
  } catch (const FileSystemError&) {
    return false;
  }
}

}  // namespace

std::string AccessDeniedText(const std::string& path) { return path + "\rFile access denied."; }

void CollectSources(const std::string& path, std::vector<std::string>& sources) {
  // Nothing selected collects nothing (and never the whole root).
  if (path.empty()) return;
  if (FileExists(path)) {
    sources.push_back(path);
    return;
  }
  Enumerate(path.back() == '/' ? path.substr(0, path.size() - 1) : path, sources);
}

void BuildJobTable(std::vector<std::string>& sources, JobTable& table, Dialogs& dialogs) {
  for (auto it = sources.begin(); it != sources.end();) {
    if (CanOpen(*it)) {
      ++it;
    } else {
      dialogs.ShowError(AccessDeniedText(*it));
      it = sources.erase(it);
    }
  }
  table.SetRowCount(static_cast<int>(sources.size()) + 1);
  for (std::size_t i = 0; i < sources.size(); ++i) {
    const int row = static_cast<int>(i) + 1;
    auto file = OpenRead(sources[i]);
    table.SetCell(0, row, sources[i]);
    table.SetCell(1, row, std::to_string(file->Size()));
    table.SetCell(2, row, kZeroFigure);
    table.SetCell(3, row, kZeroFigure);
    file->Close();
  }
  if (table.RowCount() > 1) table.SetFixedRows(1);
}

}  // namespace salvorine
