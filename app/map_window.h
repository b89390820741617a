#pragma once

#include <QDialog>
#include <cstdint>
#include <vector>

#include "app/damage_map_view.h"
#include "recovery/rescue_map.h"

class QTextBrowser;

namespace salvorine {

// A copy's saved map inside the program: drawn as the damage map panel draws
// a row's, over the map's own text, which can be selected and copied.
class MapWindow final : public QDialog {
  Q_OBJECT

 public:
  explicit MapWindow(QWidget* parent = nullptr);

  // Shows the map `text` of a file of `size` bytes; `segments` (covering
  // [0, size)) are what the text says, none when it could not be read as a map.
  void ShowMap(const QString& text, const QString& caption, const std::vector<RescueMap::Segment>& segments,
               std::int64_t size, const DamageMapView::Texts& texts);

  DamageMapView* Map = nullptr;
  QTextBrowser* Browser = nullptr;
};

}  // namespace salvorine
