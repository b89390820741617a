#include "app/shell_tree_view.h"

#include <QDir>
#include <QScrollBar>
#include <QSocketNotifier>
#include <algorithm>
#include <set>

#include <fcntl.h>
#include <unistd.h>

#include "widgets/text_bytes.h"
#include "platform/file_system.h"
#include "platform/tray_device.h"

namespace salvorine {
namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kFolderRole = Qt::UserRole + 1;
constexpr int kLoadedRole = Qt::UserRole + 2;
constexpr int kMediumRole = Qt::UserRole + 3;

std::string ChildPath(const std::string& folder, const std::string& name) {
  return folder == "/" ? "/" + name : folder + "/" + name;
}

bool IsFolder(const QTreeWidgetItem* item) { return item->data(0, kFolderRole).toBool(); }

const QTreeWidgetItem* TopOf(const QTreeWidgetItem* item) {
  while (item->parent() != nullptr) item = item->parent();
  return item;
}

void CollectExpanded(QTreeWidgetItem* item, std::set<std::string>& paths) {
  for (int i = 0; i < item->childCount(); ++i) {
    QTreeWidgetItem* child = item->child(i);
    if (child->isExpanded()) {
      paths.insert(ShellTreeView::PathOf(child));
      CollectExpanded(child, paths);
    }
  }
}

}  // namespace

ShellTreeView::ShellTreeView(QWidget* parent) : QTreeWidget(parent) {
  setHeaderHidden(true);
  setColumnCount(1);
  // Every folder, "/" included, shows that it can be opened before it is read.
  setRootIsDecorated(true);
  setContextMenuPolicy(Qt::CustomContextMenu);
  setSelectionMode(QAbstractItemView::SingleSelection);
  // The selection stays visible when the tree loses the focus.
  QPalette colours = palette();
  colours.setColor(QPalette::Inactive, QPalette::Highlight, colours.color(QPalette::Active, QPalette::Highlight));
  colours.setColor(QPalette::Inactive, QPalette::HighlightedText,
                   colours.color(QPalette::Active, QPalette::HighlightedText));
  setPalette(colours);

  addTopLevelItem(MakeItem("/", "/", true));
  const std::string home = Bytes(QDir::homePath());
  if (home != "/") addTopLevelItem(MakeItem(home, QDir::homePath(), true));
  for (int i = 0; i < topLevelItemCount(); ++i) {
    topLevelItem(i)->setIcon(0, show_icons_ ? icons_.icon(i == 0 ? QFileIconProvider::Computer
                                                                   : QFileIconProvider::Drive)
                                            : QIcon());
  }
  SyncMedia();
  WatchMounts();

  connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) { LoadChildren(item); });
  // A path chosen since replaces the one awaited.
  connect(this, &QTreeWidget::itemSelectionChanged, this, [this] {
    if (!selectedItems().isEmpty()) awaited_.clear();
  });
}

ShellTreeView::~ShellTreeView() {
  if (mounts_fd_ >= 0) ::close(mounts_fd_);
}

// The kernel marks the mount table "exceptional" (POLLPRI) whenever a file
// system is mounted or unmounted; no file-change watcher works on /proc.
void ShellTreeView::WatchMounts() {
  mounts_fd_ = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
  if (mounts_fd_ < 0) return;
  auto* notifier = new QSocketNotifier(mounts_fd_, QSocketNotifier::Exception, this);
  connect(notifier, &QSocketNotifier::activated, this, [this] { SyncMedia(); });
}

void ShellTreeView::SetMountSource(std::function<std::vector<std::string>()> source) {
  mount_source_ = std::move(source);
  SyncMedia();
}

// One top-level item per mounted medium, in the order the mount table lists them.
void ShellTreeView::SyncMedia() {
  SyncMediaItems();
  SelectAwaited();
}

void ShellTreeView::SyncMediaItems() {
  const std::vector<std::string> media = mount_source_();
  std::set<std::string> shown;
  for (int i = topLevelItemCount() - 1; i >= 0; --i) {
    QTreeWidgetItem* top = topLevelItem(i);
    if (!top->data(0, kMediumRole).toBool()) continue;
    if (std::find(media.begin(), media.end(), PathOf(top)) == media.end()) {
      if (currentItem() != nullptr && TopOf(currentItem()) == top) LetGoOfSelection();
      delete takeTopLevelItem(i);
    } else {
      shown.insert(PathOf(top));
    }
  }
  for (const std::string& medium : media) {
    if (shown.count(medium) != 0) continue;
    QTreeWidgetItem* item = MakeItem(medium, Shown(medium), true);
    item->setData(0, kMediumRole, true);
    addTopLevelItem(item);
    item->setIcon(0, show_icons_ ? icons_.icon(QFileIconProvider::Drive) : QIcon());
  }
}

void ShellTreeView::LetGoOfSelection() {
  const QTreeWidgetItem* current = currentItem();
  const std::string path = SelectedPath();
  if (current != nullptr && !path.empty()) {
    awaited_ = path;
    awaited_top_ = PathOf(TopOf(current));
  }
  setCurrentItem(nullptr);
  clearSelection();
}

// Only the top-level item the path was chosen under may take it back: a medium's
// path found through "/" could be the empty folder it was mounted on, on another disk.
void ShellTreeView::SelectAwaited() {
  if (awaited_.empty() || currentItem() != nullptr) return;
  for (int i = 0; i < topLevelItemCount(); ++i) {
    if (PathOf(topLevelItem(i)) == awaited_top_) {
      SelectPath(awaited_);
      return;
    }
  }
}

std::string ShellTreeView::PathOf(const QTreeWidgetItem* item) {
  return item->data(0, kPathRole).toByteArray().toStdString();
}

QTreeWidgetItem* ShellTreeView::MakeItem(const std::string& path, const QString& text, bool folder) {
  auto* item = new QTreeWidgetItem(QStringList(text));
  item->setData(0, kPathRole, QByteArray::fromStdString(path));
  item->setData(0, kFolderRole, folder);
  item->setData(0, kLoadedRole, false);
  if (folder) item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
  ApplyIcon(item);
  return item;
}

void ShellTreeView::ApplyIcon(QTreeWidgetItem* item) {
  if (!show_icons_) {
    item->setIcon(0, QIcon());
  } else if (item->parent() != nullptr || indexOfTopLevelItem(item) < 0) {
    item->setIcon(0, icons_.icon(IsFolder(item) ? QFileIconProvider::Folder : QFileIconProvider::File));
  }
}

void ShellTreeView::LoadChildren(QTreeWidgetItem* item) {
  if (!IsFolder(item) || item->data(0, kLoadedRole).toBool()) return;
  item->setData(0, kLoadedRole, true);
  const std::string folder = PathOf(item);
  std::vector<FolderEntry> folders, files;
  FolderSearch search;
  FolderEntry entry;
  for (bool found = search.FindFirst(folder, entry); found; found = search.FindNext(entry)) {
    (entry.kind == EntryKind::kFolder ? folders : files).push_back(entry);
  }
  QList<QTreeWidgetItem*> children;
  for (const FolderEntry& child : folders) children.append(MakeItem(ChildPath(folder, child.name), Shown(child.name), true));
  for (const FolderEntry& child : files) children.append(MakeItem(ChildPath(folder, child.name), Shown(child.name), false));
  item->addChildren(children);
  if (children.isEmpty()) item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

void ShellTreeView::SetShowIcons(bool show) {
  show_icons_ = show;
  for (int i = 0; i < topLevelItemCount(); ++i) {
    QTreeWidgetItem* top = topLevelItem(i);
    top->setIcon(0, show ? icons_.icon(i == 0 ? QFileIconProvider::Computer : QFileIconProvider::Drive) : QIcon());
    ApplyIcons(top);
  }
}

void ShellTreeView::ApplyIcons(QTreeWidgetItem* item) {
  for (int i = 0; i < item->childCount(); ++i) {
    ApplyIcon(item->child(i));
    ApplyIcons(item->child(i));
  }
}

std::string ShellTreeView::SelectedPath() const {
  const QList<QTreeWidgetItem*> selected = selectedItems();
  return selected.isEmpty() ? std::string() : PathOf(selected.front());
}

QTreeWidgetItem* ShellTreeView::ChildNamed(QTreeWidgetItem* item, const std::string& path) {
  LoadChildren(item);
  for (int i = 0; i < item->childCount(); ++i) {
    if (PathOf(item->child(i)) == path) return item->child(i);
  }
  return nullptr;
}

bool ShellTreeView::SelectPath(const std::string& path) {
  // Start from the top-level item with the longest path that contains `path`.
  QTreeWidgetItem* top = nullptr;
  std::size_t best = 0;
  for (int i = 0; i < topLevelItemCount(); ++i) {
    const std::string top_path = PathOf(topLevelItem(i));
    const bool contains = top_path == "/" || path == top_path || path.starts_with(top_path + "/");
    if (contains && top_path.size() >= best) {
      top = topLevelItem(i);
      best = top_path.size();
    }
  }
  if (top == nullptr || path.empty() || path.front() != '/') return false;
  QTreeWidgetItem* item = ItemUnder(top, path);
  if (item == nullptr) return false;
  for (QTreeWidgetItem* parent = item->parent(); parent != nullptr; parent = parent->parent()) parent->setExpanded(true);
  setCurrentItem(item);
  scrollToItem(item);
  return true;
}

QTreeWidgetItem* ShellTreeView::ItemUnder(QTreeWidgetItem* item, const std::string& path) {
  std::string reached = PathOf(item);
  while (item != nullptr && reached != path) {
    const auto next_slash = path.find('/', reached == "/" ? 1 : reached.size() + 1);
    reached = path.substr(0, next_slash);
    item = ChildNamed(item, reached);
  }
  return item;
}

void ShellTreeView::ReloadKeepingExpanded(QTreeWidgetItem* item) {
  std::set<std::string> expanded;  // in byte order, so every parent comes before its children
  CollectExpanded(item, expanded);
  qDeleteAll(item->takeChildren());
  item->setData(0, kLoadedRole, false);
  item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
  LoadChildren(item);
  for (const std::string& path : expanded) {
    if (QTreeWidgetItem* found = ItemUnder(item, path)) found->setExpanded(true);
  }
}

void ShellTreeView::Refresh() {
  const int scroll = verticalScrollBar()->value();
  // The items are made anew; the selection goes back on the same path once they are.
  LetGoOfSelection();
  SyncMediaItems();
  for (int i = 0; i < topLevelItemCount(); ++i) {
    QTreeWidgetItem* top = topLevelItem(i);
    if (top->data(0, kLoadedRole).toBool()) ReloadKeepingExpanded(top);
  }
  SelectAwaited();
  verticalScrollBar()->setValue(scroll);
}

}  // namespace salvorine
