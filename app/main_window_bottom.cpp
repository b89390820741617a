// The main window's bottom panel (the save-folder bar over the progress
// display, scrolled only on a screen too short for it) and its status bar.
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QVBoxLayout>

#include "app/salvorine_application.h"
#include "app/unit1.h"
#include "i18n/run_view_texts.h"
#include "widgets/named_widget.h"
#include "widgets/screen_fit_scroll_area.h"

namespace salvorine {

QWidget* TForm1::CreateBottomPanel() {
  Panel1 = new QWidget(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  // As tall as its lines need in the font shown, never squeezed below it: a
  // line cut at its baseline loses the underscores of the names it shows.
  Panel1->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  auto* layout = new QVBoxLayout(Panel1);
  layout->setContentsMargins(4, 2, 4, 2);
  layout->setSpacing(2);
  CreateSaveFolderBar();
  CreateProgressGroup();
  layout->addWidget(GroupBox1);
  layout->addWidget(GroupBox2, 1);
  return new ScreenFitScrollArea(Panel1, this);
}

// The save folder's box, with Browse and Open beside it.
void TForm1::CreateSaveFolderBar() {
  GroupBox1 = new QGroupBox(QStringLiteral("Save to"), Panel1);
  GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
  auto* save = new QHBoxLayout(GroupBox1);
  save->setContentsMargins(6, 2, 6, 4);
  Edit2 = new QLineEdit(QDir::homePath() + QStringLiteral("/"), GroupBox1);
  Edit2->setObjectName(QStringLiteral("Edit2"));
  Button3 = new QPushButton(QStringLiteral("..."), GroupBox1);
  Button3->setObjectName(QStringLiteral("Button3"));
  Button3->setToolTip(QStringLiteral("Browse"));
  Button3->setFixedWidth(28);
  BitBtn3 = new QPushButton(GroupBox1);
  BitBtn3->setObjectName(QStringLiteral("BitBtn3"));
  BitBtn3->setIcon(style()->standardIcon(QStyle::SP_DirIcon));
  BitBtn3->setToolTip(QStringLiteral("Open"));
  BitBtn3->setFixedWidth(28);
  save->addWidget(Edit2, 1);
  save->addWidget(Button3);
  save->addWidget(BitBtn3);
  connect(Button3, &QPushButton::clicked, this, [this] { SalvorineApplication::Guarded([this] { Button3Click(); }); });
  connect(BitBtn3, &QPushButton::clicked, this, [this] { SalvorineApplication::Guarded([this] { BitBtn3Click(); }); });
}

// The file and total bars, each with its label and percentage.
void TForm1::CreateProgressGroup() {
  GroupBox2 = new QGroupBox(QStringLiteral("Progress"), Panel1);
  GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
  auto* progress = new QGridLayout(GroupBox2);
  progress->setContentsMargins(6, 2, 6, 4);
  progress->setVerticalSpacing(1);
  const auto label = [this](const char* name, const QString& text) { return Named<QLabel>(name, text, GroupBox2); };
  Label5 = label("Label5", QStringLiteral("File:"));
  Label8 = label("Label8", QString());
  Label8->setMinimumWidth(1);
  Label2 = label("Label2", QStringLiteral("0%"));
  Label6 = label("Label6", QStringLiteral("Total:"));
  // The files done of all, and beside them what the run does with the damaged ones.
  Label1 = Named<ElidedLabel>("Label1", GroupBox2);
  Label1->setText(QStringLiteral("0/0"));
  Label4 = label("Label4", QStringLiteral("0%"));
  ProgressBar1 = new QProgressBar(GroupBox2);
  ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
  ProgressBar2 = new QProgressBar(GroupBox2);
  ProgressBar2->setObjectName(QStringLiteral("ProgressBar2"));
  for (QProgressBar* bar : {ProgressBar1, ProgressBar2}) {
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
    bar->setFixedHeight(8);  // thin, so that the window fits a short screen at double scale
  }
  for (QLabel* percent : {Label2, Label4}) {
    percent->setMinimumWidth(36);
    percent->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  }
  // Each percentage ends its label's line, so that a bar's line is only as tall as the bar.
  progress->addWidget(Label5, 0, 0);
  progress->addWidget(Label8, 0, 1);
  progress->addWidget(Label2, 0, 2);
  progress->addWidget(ProgressBar1, 1, 0, 1, 3);
  progress->addWidget(Label6, 2, 0);
  progress->addWidget(Label1, 2, 1);
  progress->addWidget(Label4, 2, 2);
  progress->addWidget(ProgressBar2, 3, 0, 1, 3);
  // What the run is doing now, on a line of its own under the bars.
  Activity1 = Named<ElidedLabel>("Activity1", GroupBox2);
  progress->addWidget(Activity1, 4, 0, 1, 3);
  progress->setColumnStretch(1, 1);
}

void TForm1::CreateStatusBar() {
  StatusBar1 = Named<ElidedLabel>("StatusBar1", statusBar());
  statusBar()->addWidget(StatusBar1, 1);
  ModeLabel1 = Named<QLabel>("ModeLabel1", mode_text_.arg(QStringLiteral("Max Data")), statusBar());
  ModeLabel1->setToolTip(QString::fromUtf8(kModeInForceHint.english));
  statusBar()->addPermanentWidget(ModeLabel1);
}

}  // namespace salvorine
