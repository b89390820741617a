#pragma once

#include <QDialog>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <string>

class QPushButton;
class QTableWidget;

namespace salvorine {

// What the damage report dialog shows in the language in force.
struct ReportDialogTexts {
  QString caption;
  QStringList columns;      // path, size, recovered, damaged, unread, state, map
  QStringList state_words;  // ok, damaged, unsaved, stopped, pending
  QString open_map;
};

// The damage report a run left in a save folder, as a table inside the
// program: sortable by any column, figures by their value. Open Map hands the
// selected row's map and the size of its file to `open_map`.
class DamageReportDialog final : public QDialog {
  Q_OBJECT

 public:
  using OpenMap = std::function<void(const std::string& map_path, std::int64_t size)>;
  explicit DamageReportDialog(OpenMap open_map, QWidget* parent = nullptr);

  // Fills the table from the report text (header line, then tab-separated rows).
  void ShowReport(const std::string& report_text, const ReportDialogTexts& texts);

  QTableWidget* Table = nullptr;
  QPushButton* OpenMapButton = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  std::string SelectedMapPath() const;
  std::int64_t SelectedSize() const;

  OpenMap open_map_;
};

}  // namespace salvorine
