#include "app/path_cell_delegate.h"

#include <QApplication>
#include <QStyle>

namespace salvorine {
namespace {

const QString kEllipsis = QStringLiteral("\u2026");

}  // namespace

QString ElidedPath(const QFontMetrics& metrics, const QString& path, int width) {
  if (metrics.horizontalAdvance(path) <= width) return path;
  const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
  if (slash < 0) return metrics.elidedText(path, Qt::ElideMiddle, width);
  const QString name = path.mid(slash + 1);
  const int room = width - metrics.horizontalAdvance(name);
  // The folder keeps its start and its last "/"; less than "…/" of it says nothing.
  const QString folder = metrics.elidedText(path.left(slash + 1), Qt::ElideMiddle, room);
  if (folder.endsWith(QLatin1Char('/')) && metrics.horizontalAdvance(folder) <= room) return folder + name;
  const QString nameless = kEllipsis + QLatin1Char('/');
  if (metrics.horizontalAdvance(nameless) <= room) return nameless + name;
  if (room >= 0) return name;
  return metrics.elidedText(name, Qt::ElideMiddle, width);
}

QStyleOptionViewItem PathCellDelegate::Prepared(const QStyleOptionViewItem& option, const QModelIndex& index) const {
  QStyleOptionViewItem prepared = option;
  initStyleOption(&prepared, index);
  const QStyle* style = prepared.widget != nullptr ? prepared.widget->style() : QApplication::style();
  // The style's own text margins stand on either side of the text it is given.
  const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, prepared.widget) + 1;
  const int room = style->subElementRect(QStyle::SE_ItemViewItemText, &prepared, prepared.widget).width() - 2 * margin;
  prepared.text = ElidedPath(prepared.fontMetrics, prepared.text, room);
  return prepared;
}

QString PathCellDelegate::ShownText(const QStyleOptionViewItem& option, const QModelIndex& index) const {
  return Prepared(option, index).text;
}

void PathCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
  const QStyleOptionViewItem prepared = Prepared(option, index);
  const QStyle* style = prepared.widget != nullptr ? prepared.widget->style() : QApplication::style();
  style->drawControl(QStyle::CE_ItemViewItem, &prepared, painter, prepared.widget);
}

}  // namespace salvorine
