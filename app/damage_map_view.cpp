#include "app/damage_map_view.h"

#include <QEvent>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

namespace salvorine {

DamageMapView::DamageMapView(QWidget* parent) : QWidget(parent) {
  texts_.shades = {QStringLiteral("Finished"), QStringLiteral("Not tried yet"), QStringLiteral("Unreadable"),
                   QStringLiteral("Being read now")};
  texts_.range = QStringLiteral("Bytes %1 to %2 of %3");
  texts_.count = QStringLiteral("%1: %2 bytes");
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void DamageMapView::SetTexts(const Texts& texts) {
  texts_ = texts;
  updateGeometry();  // the legend may take more lines, or fewer
  update();
}

void DamageMapView::ShowMap(const std::vector<RescueMap::Segment>& segments, std::int64_t size,
                            std::int64_t reading_start, std::int64_t reading_end) {
  segments_ = segments;
  size_ = size;
  reading_start_ = reading_start;
  reading_end_ = reading_end;
  shown_ = true;
  Recount();
}

void DamageMapView::Clear() {
  segments_.clear();
  size_ = 0;
  shown_ = false;
  Recount();
}

// Fixed colours, chosen to stand apart on light and dark backgrounds alike.
QColor DamageMapView::ShadeColor(CellShade shade) {
  switch (shade) {
    case CellShade::kFinished: return {0x3a, 0xa6, 0x4c};
    case CellShade::kUntried: return {0x9a, 0x9a, 0x9a};
    case CellShade::kBad: return {0xd8, 0x34, 0x2c};
    case CellShade::kReading: return {0xf2, 0xb3, 0x00};
  }
  return {};
}

int DamageMapView::Columns() const { return std::max(1, (width() - 2 * kMargin) / kCellSide); }

void DamageMapView::Recount() {
  cells_ = shown_ ? DamageCells(segments_, size_, Columns() * kRows, reading_start_, reading_end_)
                  : std::vector<DamageCell>{};
  update();
}

QRect DamageMapView::CellRect(int index) const {
  const int columns = Columns();
  return {kMargin + (index % columns) * kCellSide, kMargin + (index / columns) * kCellSide, kCellSide - 1,
          kCellSide - 1};
}

int DamageMapView::CellAt(const QPoint& point) const {
  if (point.x() < kMargin || point.y() < kMargin) return -1;
  const int column = (point.x() - kMargin) / kCellSide, row = (point.y() - kMargin) / kCellSide;
  const int index = row * Columns() + column;
  if (column >= Columns() || row >= kRows || index >= static_cast<int>(cells_.size())) return -1;
  return index;
}

QString DamageMapView::CellText(int index) const {
  const DamageCell& cell = cells_.at(static_cast<std::size_t>(index));
  QString text = texts_.range.arg(cell.start).arg(cell.end - 1).arg(size_) + QStringLiteral(": ") +
                 texts_.shades[static_cast<std::size_t>(cell.Shade())];
  const std::array<std::pair<RescueState, CellShade>, 3> states = {{{RescueState::kDone, CellShade::kFinished},
                                                                     {RescueState::kBad, CellShade::kBad},
                                                                     {RescueState::kUntried, CellShade::kUntried}}};
  for (const auto& [state, shade] : states) {
    const QString& name = texts_.shades[static_cast<std::size_t>(shade)];
    text += QLatin1Char('\n') + texts_.count.arg(name).arg(cell.BytesIn(state));
  }
  return text;
}

QSize DamageMapView::sizeHint() const { return {400, minimumSizeHint().height()}; }

QSize DamageMapView::minimumSizeHint() const {
  const std::array<QPoint, 4> places = LegendPlaces();
  return {10 * kCellSide, places.back().y() + fontMetrics().height() + kMargin};
}

// A swatch, the state's name and the gap after it.
int DamageMapView::LegendEntryWidth(std::size_t shade) const {
  return kCellSide + 3 + fontMetrics().horizontalAdvance(texts_.shades[shade]) + 12;
}

QRect DamageMapView::LegendRect(CellShade shade) const {
  const auto index = static_cast<std::size_t>(shade);
  return {LegendPlaces()[index], QSize(LegendEntryWidth(index) - 12, fontMetrics().height())};
}

std::array<QPoint, 4> DamageMapView::LegendPlaces() const {
  std::array<QPoint, 4> places;
  QPoint at(kMargin, LegendTop());
  for (std::size_t shade = 0; shade < places.size(); ++shade) {
    const int entry = LegendEntryWidth(shade) - 12;
    if (at.x() > kMargin && at.x() + entry > width() - kMargin) at = QPoint(kMargin, at.y() + fontMetrics().height());
    places[shade] = at;
    at.rx() += LegendEntryWidth(shade);
  }
  return places;
}

void DamageMapView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const int text_height = fontMetrics().height();
  if (cells_.empty()) {
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(rect().adjusted(kMargin, kMargin, -kMargin, -kMargin), Qt::AlignCenter | Qt::TextWordWrap,
                     texts_.empty);
    return;
  }
  for (std::size_t i = 0; i < cells_.size(); ++i) {
    painter.fillRect(CellRect(static_cast<int>(i)), ShadeColor(cells_[i].Shade()));
  }
  // The legend: a swatch and the state's name, one after another.
  const std::array<QPoint, 4> places = LegendPlaces();
  painter.setPen(palette().color(QPalette::WindowText));
  for (std::size_t shade = 0; shade < texts_.shades.size(); ++shade) {
    const QPoint at = places[shade];
    const int swatch_top = at.y() + (text_height - (kCellSide - 1)) / 2;
    painter.fillRect(QRect(at.x(), swatch_top, kCellSide - 1, kCellSide - 1),
                     ShadeColor(static_cast<CellShade>(shade)));
    const int text_width = fontMetrics().horizontalAdvance(texts_.shades[shade]);
    painter.drawText(QRect(at.x() + kCellSide + 3, at.y(), text_width, text_height), Qt::AlignLeft | Qt::AlignVCenter,
                     texts_.shades[shade]);
  }
}

void DamageMapView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // A legend that takes another line at this width asks for another height.
  if (const int bottom = LegendPlaces().back().y(); bottom != legend_bottom_) {
    legend_bottom_ = bottom;
    updateGeometry();
  }
  if (shown_) Recount();
}

bool DamageMapView::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    const auto* help = static_cast<QHelpEvent*>(event);
    const int index = CellAt(help->pos());
    if (index < 0) {
      QToolTip::hideText();
      event->ignore();
    } else {
      QToolTip::showText(help->globalPos(), CellText(index), this, CellRect(index));
    }
    return true;
  }
  return QWidget::event(event);
}

}  // namespace salvorine
