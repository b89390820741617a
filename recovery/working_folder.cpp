#include "recovery/working_folder.h"

#include <algorithm>

#include "platform/file_system_error.h"

namespace salvorine {
namespace {

constexpr const char* kWorkingFolderName = "TMP654";
constexpr std::size_t kLongestExtension = 16;

}  // namespace

WorkingFolder::WorkingFolder(const FolderHandle& data_folder)
    : data_folder_(data_folder), folder_(data_folder.PrivateSubfolder(kWorkingFolderName)) {
  // A row's name must never open a copy an earlier run left (one killed, say).
  Empty();
}

void WorkingFolder::Remove() {
  Empty();
  // Only the folder this run holds: whatever else stands under its name now is left alone.
  if (data_folder_.IdentityOf(kWorkingFolderName) == folder_.IdentityOf(".")) {
    data_folder_.RemoveEmptySubfolder(kWorkingFolderName);
  }
  removed_ = true;
}

WorkingFolder::~WorkingFolder() {
  if (removed_) return;
  // Only while another error ends the run, which is the one the user hears
  // of; whatever stays here is removed at the next run's start.
  try {
    Remove();
  } catch (const FileSystemError&) {  // NOLINT(bugprone-empty-catch)
  }
}

std::string FileNameOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string WorkingCopyName(int row, const std::string& source_path) {
  const std::string name = FileNameOf(source_path);
  const auto dot = name.rfind('.');
  std::string extension = dot == std::string::npos ? "" : name.substr(dot);
  // The extension only tells the preview the file's type; one that a save
  // disk might not store (too long, or other than ASCII letters and digits,
  // as a ':' on exFAT) would fail the whole run, so it is left out.
  const bool plain = std::all_of(extension.begin() + (extension.empty() ? 0 : 1), extension.end(),
                                 [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); });
  if (!plain || extension.size() > kLongestExtension) extension.clear();
  return std::to_string(row) + extension;
}

}  // namespace salvorine
