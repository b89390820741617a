#pragma once

#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>
#include <vector>

#include "recovery/damage_cells.h"
#include "recovery/rescue_map.h"

namespace salvorine {

// A file's damage map: the file as rows of square cells, each an equal share
// of its bytes, coloured by the most alarming state inside it, with a legend
// and a tooltip per cell. The cells are summed by the engine; this only paints.
class DamageMapView final : public QWidget {
  Q_OBJECT

 public:
  struct Texts {
    std::array<QString, 4> shades;  // indexed by CellShade
    QString range;                  // %1, %2: first and last byte; %3: the file's size
    QString count;                  // %1: a state; %2: its bytes
    QString empty;                  // shown while no map is
  };

  static constexpr int kCellSide = 9;  // pixels, gap included
  static constexpr int kRows = 5;

  explicit DamageMapView(QWidget* parent = nullptr);

  void SetTexts(const Texts& texts);
  // Shows the map of a file of `size` bytes whose segments cover [0, size);
  // the read in progress, if any, covers [reading_start, reading_end).
  void ShowMap(const std::vector<RescueMap::Segment>& segments, std::int64_t size, std::int64_t reading_start = 0,
               std::int64_t reading_end = 0);
  void Clear();

  const std::vector<DamageCell>& Cells() const { return cells_; }
  // The cell drawn at `point`; -1 where none is.
  int CellAt(const QPoint& point) const;
  QRect CellRect(int index) const;
  // What the tooltip of cell `index` says.
  QString CellText(int index) const;
  static QColor ShadeColor(CellShade shade);

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;
  // Where the legend entry of `shade` (its swatch and name) is drawn at the present width.
  QRect LegendRect(CellShade shade) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool event(QEvent* event) override;

 private:
  int Columns() const;
  int LegendTop() const { return kMargin + kRows * kCellSide + kMargin; }
  int LegendEntryWidth(std::size_t shade) const;
  // Where each legend entry starts, indexed by CellShade: the entries follow
  // one another and go on to the next line where the rest of one does not fit.
  std::array<QPoint, 4> LegendPlaces() const;
  int legend_bottom_ = 0;  // as last laid out; a change asks the layout for another height
  void Recount();

  static constexpr int kMargin = 3;
  Texts texts_;
  std::vector<RescueMap::Segment> segments_;
  std::int64_t size_ = 0;
  std::int64_t reading_start_ = 0, reading_end_ = 0;
  bool shown_ = false;
  std::vector<DamageCell> cells_;
};

}  // namespace salvorine
