#pragma once

#include <QFileIconProvider>
#include <QTreeWidget>
#include <functional>
#include <string>
#include <vector>

#include "platform/tray_device.h"

namespace salvorine {

// The folder tree. Its top level stands for the computer: the root folder,
// the user's home folder and every mounted removable or optical medium, as
// media come and go.
// Folders and files (hidden ones too) load when a folder is expanded,
// folders first, each group by name.
class ShellTreeView final : public QTreeWidget {
  Q_OBJECT

 public:
  explicit ShellTreeView(QWidget* parent = nullptr);
  ~ShellTreeView() override;

  void SetShowIcons(bool show);
  bool ShowIcons() const { return show_icons_; }
  // The selected item's full path; empty when nothing is selected.
  std::string SelectedPath() const;
  // Expands the tree down to `path` and selects it; false when it is not in the tree.
  bool SelectPath(const std::string& path);
  // Re-reads every folder that has been read from the file system, keeping
  // expanded items expanded, the selection and the scroll position.
  void Refresh();
  // Where the mounted media are listed from (the mount table unless replaced);
  // the tree follows it at once.
  void SetMountSource(std::function<std::vector<std::string>()> source);
  // Adds an item for each medium mounted since and removes those unmounted.
  // Runs whenever the mount table changes, and at Refresh.
  // The selection never moves to another item by itself: when the selected
  // item goes away (its medium unmounted, its folder gone at Refresh), nothing
  // is selected until the same path is back on a medium, which selects it again.
  void SyncMedia();

  static std::string PathOf(const QTreeWidgetItem* item);

 private:
  QTreeWidgetItem* MakeItem(const std::string& path, const QString& text, bool folder);
  void LoadChildren(QTreeWidgetItem* item);
  void ReloadKeepingExpanded(QTreeWidgetItem* item);
  QTreeWidgetItem* ChildNamed(QTreeWidgetItem* item, const std::string& path);
  // The item for `path` below `item`, loading each level on the way; null when absent.
  QTreeWidgetItem* ItemUnder(QTreeWidgetItem* item, const std::string& path);
  void ApplyIcon(QTreeWidgetItem* item);
  void ApplyIcons(QTreeWidgetItem* item);

  void WatchMounts();
  void SyncMediaItems();
  // Clears the selection before its item goes, so that the view does not
  // select the item's neighbour or parent, and awaits its path instead.
  void LetGoOfSelection();
  // Selects the awaited path once it is back under the top-level item it was chosen under.
  void SelectAwaited();

  std::function<std::vector<std::string>()> mount_source_ = [] { return RemovableMediaMounts(); };
  int mounts_fd_ = -1;
  QFileIconProvider icons_;
  bool show_icons_ = true;
  std::string awaited_;      // the path selected before its item went away; empty once anything is selected
  std::string awaited_top_;  // the top-level item it was chosen under
};

}  // namespace salvorine
