#pragma once

#include <QFontMetrics>
#include <QString>
#include <QStyledItemDelegate>

namespace salvorine {

// `path` as it fits in `width` pixels: whole when it fits; otherwise the
// folder part is shortened in its middle ("/media/…/DCIM/IMG_0416.JPG") and,
// once nothing of it is left but "…/", dropped, so that the file's own name
// stays whole for as long as it fits; only then is the name shortened in its middle.
QString ElidedPath(const QFontMetrics& metrics, const QString& path, int width);

// Draws the job table's path cells, eliding them as ElidedPath does: rows of
// one medium share the start of their paths, and the file's name is what the
// user looks for.
class PathCellDelegate final : public QStyledItemDelegate {
  Q_OBJECT

 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  // The text the cell at `index` shows when drawn with `option`.
  QString ShownText(const QStyleOptionViewItem& option, const QModelIndex& index) const;

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

 private:
  // `option` filled in for `index`, its text elided to the room it has.
  QStyleOptionViewItem Prepared(const QStyleOptionViewItem& option, const QModelIndex& index) const;
};

}  // namespace salvorine
