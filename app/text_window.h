#pragma once

#include <QDialog>
#include <cstdint>
#include <string>
#include <vector>

#include "app/damage_map_view.h"
#include "recovery/rescue_map.h"

class QTextBrowser;

namespace salvorine {

// A read-only window inside the program for a page of the manual or a text
// file, for when no other program opens it, or a copy's saved map, drawn as
// the damage map panel draws a row's over the map's text. Text can be
// selected and copied; links inside the manual are followed.
class TextWindow final : public QDialog {
  Q_OBJECT

 public:
  explicit TextWindow(QWidget* parent = nullptr);

  // Shows the HTML page `path`.
  void ShowPage(const std::string& path, const QString& caption);
  // Shows `text` as plain text.
  void ShowText(const QString& text, const QString& caption);
  // Shows the map `text` of a file of `size` bytes, drawn from `segments`
  // (covering [0, size); none when the text could not be read as a map).
  void ShowMap(const QString& text, const QString& caption, const std::vector<RescueMap::Segment>& segments,
               std::int64_t size, const DamageMapView::Texts& texts);

  QTextBrowser* Browser = nullptr;
  DamageMapView* Map = nullptr;  // shown with a map only

 protected:
  void showEvent(QShowEvent* event) override;
};

}  // namespace salvorine
