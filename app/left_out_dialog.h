#pragma once

#include <QDialog>
#include <QString>
#include <string>
#include <vector>

class QTableWidget;

namespace salvorine {

// What a run left out of its selection, in one scrollable list of paths and
// reasons, shown once however long it is.
class LeftOutDialog final : public QDialog {
  Q_OBJECT

 public:
  // `entries` are "path\rreason".
  LeftOutDialog(const QString& heading, const std::vector<std::string>& entries, QWidget* parent = nullptr);

  QTableWidget* List1 = nullptr;
};

}  // namespace salvorine
