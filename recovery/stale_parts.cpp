#include "recovery/stale_parts.h"

#include <charconv>
#include <vector>

#include "platform/file_system.h"
#include "platform/process.h"
#include "recovery/destination_path.h"

namespace salvorine {
namespace {

constexpr std::string_view kPrefix = kPlacingPrefix;
constexpr std::string_view kSuffix = ".part";

bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace

bool IsStalePart(const std::string& name) {
  if (!name.starts_with(kPrefix) || !name.ends_with(kSuffix)) return false;
  const std::string_view middle =
      std::string_view(name).substr(kPrefix.size(), name.size() - kPrefix.size() - kSuffix.size());
  const auto dash = middle.find('-');
  if (dash == std::string_view::npos || !AllDigits(middle.substr(0, dash)) || !AllDigits(middle.substr(dash + 1))) {
    return false;
  }
  int pid = 0;
  const auto [end, error] = std::from_chars(middle.data(), middle.data() + dash, pid);
  if (error != std::errc() || pid <= 0) return false;
  // A process of that number still runs (perhaps another run placing into this folder): not stale.
  return ProcessIsGone(pid);
}

namespace {

// Removes the stale temporary files in `folder`, and below it when `recursive`.
int Sweep(const std::string& folder, bool recursive) {
  int removed = 0;
  // Folders still to look into; each is read whole and closed before the next, so depth costs no descriptors.
  std::vector<std::string> pending{folder};
  while (!pending.empty()) {
    const std::string current = std::move(pending.back());
    pending.pop_back();
    FolderSearch search;
    FolderEntry entry;
    for (bool found = search.FindFirst(current, entry); found; found = search.FindNext(entry)) {
      const std::string path = current + "/" + entry.name;
      if (entry.kind == EntryKind::kFolder) {
        if (recursive) pending.push_back(path);
      } else if (IsStalePart(entry.name)) {
        RemoveFileIfPresent(path);
        ++removed;
      }
    }
  }
  return removed;
}

}  // namespace

int RemoveStaleParts(const std::string& save_folder, const std::string& selection_root) {
  // Nothing selected: nothing will be placed.
  if (selection_root.empty()) return 0;
  std::string save = save_folder;
  while (save.size() > 1 && save.back() == '/') save.pop_back();
  // The save folder may hold much besides this selection's copies (a home folder, say):
  // only the folders this selection mirrors into, and the program's own, are looked through.
  const std::string mirrored = MirroredRelativePath(selection_root + "/", selection_root, FileExists(selection_root));
  const std::string top = mirrored.substr(0, mirrored.find('/'));
  if (top.empty() && !FileExists(selection_root)) return Sweep(save, true);
  int removed = Sweep(save, false) + Sweep(save + "/" + kDataFolderName, true);
  if (!top.empty() && !FileExists(selection_root)) removed += Sweep(save + "/" + top, true);
  return removed;
}

}  // namespace salvorine
