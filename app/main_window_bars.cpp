// The main window's tool bar and menus, each item bound to its command.
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>

#include "app/salvorine_application.h"
#include "app/unit1.h"
#include "i18n/run_view_texts.h"
#include "widgets/mnemonics.h"
#include "widgets/toolbar_caption_fit.h"

namespace salvorine {

void TForm1::CreateToolBar() {
  ToolBar1 = addToolBar(QString());
  ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
  ToolBar1->setMovable(false);
  ToolBar1->setFloatable(false);
  ToolBar1->setIconSize(QSize(16, 16));
  const auto button = [this](const char* name, int image, const QString& caption, void (TForm1::*handler)()) {
    auto* tool = new QToolButton(ToolBar1);
    tool->setObjectName(QString::fromLatin1(name));
    tool->setText(caption);
    tool->setIcon(images_[static_cast<std::size_t>(image)]);
    tool->setProperty("imageIndex", image);
    tool->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    tool->setAutoRaise(true);
    // As wide as the caption needs in the language shown, never narrower than 48.
    tool->setMinimumSize(48, 36);
    tool->setToolTip(caption);
    connect(tool, &QToolButton::clicked, this, [this, handler] { SalvorineApplication::Guarded([&] { (this->*handler)(); }); });
    return tool;
  };
  ToolButton6 = button("ToolButton6", 0, QStringLiteral("Eject"), &TForm1::ToolButton6Click);
  ToolButton7 = button("ToolButton7", 2, QStringLiteral("Refresh"), &TForm1::ToolButton7Click);
  ToolButton1 = button("ToolButton1", 3, QStringLiteral("Recover"), &TForm1::ToolButton1Click);
  ToolButton3 = button("ToolButton3", 5, QStringLiteral("Stop"), &TForm1::ToolButton3Click);
  ToolButton8 = button("ToolButton8", 8, QString::fromUtf8(kSkipFileText.english), &TForm1::ToolButton8Click);
  ToolButton4 = button("ToolButton4", 6, QStringLiteral("Preview"), &TForm1::ToolButton4Click);
  ToolButton5 = button("ToolButton5", 7, QStringLiteral("Settings"), &TForm1::ToolButton5Click);
  ToolButton2 = button("ToolButton2", 4, QStringLiteral("Pause"), &TForm1::ToolButton2Click);
  ToolBar1->addWidget(ToolButton6);
  ToolBar1->addWidget(ToolButton7);
  ToolBar1->addSeparator();
  ToolBar1->addWidget(ToolButton1);
  ToolBar1->addWidget(ToolButton3);
  ToolBar1->addWidget(ToolButton8);
  ToolBar1->addSeparator();
  ToolBar1->addWidget(ToolButton4);
  ToolBar1->addWidget(ToolButton5);
  ToolBar1->addWidget(ToolButton2)->setVisible(false);
  new ToolBarCaptionFit(*ToolBar1);
}

void TForm1::CreateMenus() {
  const auto action = [this](QMenu* menu, const char* name, const QString& caption, void (TForm1::*handler)()) {
    QAction* item = menu->addAction(caption);
    item->setObjectName(QString::fromLatin1(name));
    connect(item, &QAction::triggered, this, [this, handler] { SalvorineApplication::Guarded([&] { (this->*handler)(); }); });
    return item;
  };
  menuBar()->setObjectName(QStringLiteral("MainMenu1"));
  File1 = menuBar()->addMenu(QStringLiteral("File"));
  File1->setObjectName(QStringLiteral("File1"));
  Recover2 = action(File1, "Recover2", QStringLiteral("Recover"), &TForm1::ToolButton1Click);
  Recover2->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
  Information2 = action(File1, "Information2", QStringLiteral("Preview"), &TForm1::ToolButton4Click);
  SkipFile1 = action(File1, "SkipFile1", QString::fromUtf8(kSkipFileText.english), &TForm1::ToolButton8Click);
  SkipFile1->setShortcut(QKeySequence(Qt::Key_F8));
  Report1 = action(File1, "Report1", QString::fromUtf8(kReportMenuText.english), &TForm1::Report1Click);
  File1->addSeparator();
  Exit1 = action(File1, "Exit1", QStringLiteral("Exit"), &TForm1::Exit1Click);
  Exit1->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));

  Settings1 = menuBar()->addMenu(QStringLiteral("Options"));
  Settings1->setObjectName(QStringLiteral("Settings1"));
  Settings2 = action(Settings1, "Settings2", QStringLiteral("Settings..."), &TForm1::ToolButton5Click);
  Language1 = Settings1->addMenu(QStringLiteral("Language"));
  Language1->setObjectName(QStringLiteral("Language1"));
  English1 = action(Language1, "English1", QStringLiteral("English"), &TForm1::English1Click);
  Russian1 = action(Language1, "Russian1", QStringLiteral("Russian"), &TForm1::Russian1Click);
  English1->setCheckable(true);
  Russian1->setCheckable(true);
  English1->setChecked(true);

  Help1 = menuBar()->addMenu(QStringLiteral("Help"));
  Help1->setObjectName(QStringLiteral("Help1"));
  Help2 = action(Help1, "Help2", QStringLiteral("Help Topics"), &TForm1::Help2Click);
  Help2->setShortcut(QKeySequence(Qt::Key_F1));
  WebSite1 = action(Help1, "WebSite1", QStringLiteral("Web Site"), &TForm1::WebSite1Click);
  Support1 = action(Help1, "Support1", QStringLiteral("Feedback"), &TForm1::Support1Click);
  Help1->addSeparator();
  About1 = action(Help1, "About1", QStringLiteral("About..."), &TForm1::About1Click);

  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
  Recover1 = action(PopupMenu1, "Recover1", QStringLiteral("Recover"), &TForm1::ToolButton1Click);
  PopupMenu2 = new QMenu(this);
  PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
  Preview1 = action(PopupMenu2, "Preview1", QStringLiteral("Preview"), &TForm1::ToolButton4Click);
  Preview1->setShortcut(QKeySequence(Qt::Key_F5));
  Preview1->setShortcutContext(Qt::WidgetShortcut);
  AssignMenuMnemonics();
}

// Every menu and item gets a mnemonic in the language shown; the language
// files' texts stay as they are.
void TForm1::AssignMenuMnemonics() {
  AssignMnemonics(menuBar()->actions());
  for (QMenu* menu : {File1, Settings1, Language1, Help1, PopupMenu1, PopupMenu2}) AssignMnemonics(menu->actions());
}

}  // namespace salvorine
