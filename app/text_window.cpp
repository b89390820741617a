#include "app/text_window.h"

#include <QDialogButtonBox>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "app/window_placement.h"
#include "widgets/text_bytes.h"

namespace salvorine {

TextWindow::TextWindow(QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                          Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("TextWindow"));
  Browser = new QTextBrowser(this);
  Browser->setObjectName(QStringLiteral("Browser"));
  Browser->setOpenExternalLinks(true);
  Map = new DamageMapView(this);
  Map->setObjectName(QStringLiteral("Map"));
  Map->hide();
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Map);
  layout->addWidget(Browser, 1);
  layout->addWidget(buttons);
  resize(720, 520);
}

// Over the main window and within its screen, Close included, at any scale.
void TextWindow::showEvent(QShowEvent* event) {
  PlaceOverOwner(*this);
  QDialog::showEvent(event);
}

void TextWindow::ShowPage(const std::string& path, const QString& caption) {
  setWindowTitle(caption);
  // The manual's page sets its own text colours for a light page, as a web
  // browser shows it; on a dark palette's base they would not read.
  QPalette page = Browser->palette();
  page.setColor(QPalette::Base, Qt::white);
  page.setColor(QPalette::Text, Qt::black);
  Browser->setPalette(page);
  Browser->setSource(QUrl::fromLocalFile(Shown(path)), QTextDocument::HtmlResource);
  show();
  raise();
  activateWindow();
}

void TextWindow::ShowText(const QString& text, const QString& caption) {
  setWindowTitle(caption);
  Map->hide();
  Browser->setPlainText(text);
  show();
  raise();
  activateWindow();
}

void TextWindow::ShowMap(const QString& text, const QString& caption, const std::vector<RescueMap::Segment>& segments,
                         std::int64_t size, const DamageMapView::Texts& texts) {
  Map->SetTexts(texts);
  if (segments.empty()) {
    Map->Clear();
  } else {
    Map->ShowMap(segments, size);
  }
  ShowText(text, caption);
  Map->show();
}

}  // namespace salvorine
