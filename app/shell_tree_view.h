#pragma once

#include <QFileIconProvider>
#include <QTreeWidget>
#include <string>

namespace salvorine {

// The folder tree. Its top level stands for the computer: the root folder,
// the user's home folder and every mounted removable or optical medium.
// Folders and files (hidden ones too) load when a folder is expanded,
// folders first, each group by name.
class ShellTreeView final : public QTreeWidget {
  Q_OBJECT

 public:
  explicit ShellTreeView(QWidget* parent = nullptr);

  void SetShowIcons(bool show);
  bool ShowIcons() const { return show_icons_; }
  // The selected item's full path; empty when nothing is selected.
  std::string SelectedPath() const;
  // Expands the tree down to `path` and selects it; false when it is not in the tree.
  bool SelectPath(const std::string& path);
  // Re-reads every folder that has been read from the file system, keeping
  // expanded items expanded, the selection and the scroll position.
  void Refresh();

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

  QFileIconProvider icons_;
  bool show_icons_ = true;
};

}  // namespace salvorine
