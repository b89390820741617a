#include "app/unit2.h"

#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/salvorine_application.h"

namespace salvorine {
namespace {

// The box's size whenever its texts fit in it.
constexpr int kWidth = 296;
constexpr int kHeight = 207;

QLabel* LinkLabel(const QString& text, const char* name, QWidget* parent) {
  auto* label = new QLabel(QStringLiteral("<u>%1</u>").arg(text), parent);
  label->setObjectName(QString::fromLatin1(name));
  // The palette's link colour, which reads on a light and on a dark background.
  label->setForegroundRole(QPalette::Link);
  label->setCursor(Qt::PointingHandCursor);
  return label;
}

}  // namespace

TForm2::TForm2(std::function<void()> web_site, std::function<void()> feedback, QWidget* parent)
    : CentredDialog(parent), web_site_(std::move(web_site)), feedback_(std::move(feedback)) {
  setObjectName(QStringLiteral("Form2"));
  setWindowTitle(QStringLiteral("About Salvorine"));

  auto* icon = new QLabel(this);
  icon->setPixmap(QIcon(QStringLiteral(":/images/icon.svg")).pixmap(32, 32));
  auto* name = new QLabel(QStringLiteral("Salvorine"), this);
  QFont large = name->font();
  large.setPointSize(large.pointSize() * 2);
  name->setFont(large);
  auto* version = new QLabel(QStringLiteral("<b>Version 1.51</b>"), this);

  auto* frame = new QFrame(this);
  frame->setFrameShape(QFrame::StyledPanel);
  auto* links = new QGridLayout(frame);
  Label6 = LinkLabel(QStringLiteral("https://salvorine.example/"), "Label6", frame);
  Label7 = LinkLabel(QStringLiteral("support@salvorine.example"), "Label7", frame);
  links->addWidget(new QLabel(QStringLiteral("Web Site:"), frame), 0, 0);
  links->addWidget(Label6, 0, 1);
  links->addWidget(new QLabel(QStringLiteral("E-mail:"), frame), 1, 0);
  links->addWidget(Label7, 1, 1);
  links->setColumnStretch(1, 1);
  Label6->installEventFilter(this);
  Label7->installEventFilter(this);

  Button1 = new QPushButton(QStringLiteral("OK"), this);
  Button1->setObjectName(QStringLiteral("Button1"));
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });

  auto* title = new QVBoxLayout;
  title->addWidget(name);
  title->addWidget(version);
  auto* head = new QHBoxLayout;
  head->addWidget(icon, 0, Qt::AlignTop);
  head->addLayout(title, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(head);
  layout->addWidget(frame);
  layout->addStretch(1);
  layout->addWidget(Button1, 0, Qt::AlignHCenter);
  SetUsualSize({kWidth, kHeight});
}

bool TForm2::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease && (watched == Label6 || watched == Label7)) {
    SalvorineApplication::Guarded([&] { watched == Label6 ? Label6Click() : Label7Click(); });
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace salvorine
