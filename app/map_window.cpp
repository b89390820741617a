#include "app/map_window.h"

#include <QDialogButtonBox>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace salvorine {

MapWindow::MapWindow(QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                          Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("MapWindow"));
  Map = new DamageMapView(this);
  Map->setObjectName(QStringLiteral("Map"));
  Browser = new QTextBrowser(this);
  Browser->setObjectName(QStringLiteral("Browser"));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Map);
  layout->addWidget(Browser, 1);
  layout->addWidget(buttons);
  resize(720, 520);
}

void MapWindow::ShowMap(const QString& text, const QString& caption, const std::vector<RescueMap::Segment>& segments,
                        std::int64_t size, const DamageMapView::Texts& texts) {
  setWindowTitle(caption);
  Map->SetTexts(texts);
  if (segments.empty()) {
    Map->Clear();
  } else {
    Map->ShowMap(segments, size);
  }
  Browser->setPlainText(text);
  show();
  raise();
  activateWindow();
}

}  // namespace salvorine
