#include "app/left_out_dialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

#include "widgets/text_bytes.h"

namespace salvorine {

LeftOutDialog::LeftOutDialog(const QString& heading, const std::vector<std::string>& entries, QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("LeftOutDialog"));
  setWindowTitle(QStringLiteral("Error"));
  auto* layout = new QVBoxLayout(this);
  auto* label = new QLabel(heading, this);
  label->setWordWrap(true);
  layout->addWidget(label);
  List1 = new QTableWidget(static_cast<int>(entries.size()), 2, this);
  List1->setObjectName(QStringLiteral("List1"));
  List1->horizontalHeader()->setVisible(false);
  List1->verticalHeader()->setVisible(false);
  List1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  List1->setSelectionBehavior(QAbstractItemView::SelectRows);
  List1->setWordWrap(false);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const std::string& entry = entries[i];
    const std::size_t cut = entry.find('\r');
    const QString path = Shown(entry.substr(0, cut));
    const QString reason = cut == std::string::npos ? QString() : Shown(entry.substr(cut + 1)).replace('\r', ' ');
    auto* path_item = new QTableWidgetItem(path);
    path_item->setToolTip(path);
    List1->setItem(static_cast<int>(i), 0, path_item);
    List1->setItem(static_cast<int>(i), 1, new QTableWidgetItem(reason));
  }
  List1->resizeColumnsToContents();
  List1->horizontalHeader()->setStretchLastSection(true);
  layout->addWidget(List1, 1);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(buttons);
  resize(640, 360);
}

}  // namespace salvorine
