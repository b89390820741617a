// The damage maps the main window shows: the selected row's under the table,
// and those the Damage Report opens.
#include <QAction>
#include <QFile>
#include <QTableView>
#include <chrono>
#include <cstdlib>
#include <optional>

#include "app/damage_report_dialog.h"
#include "app/text_window.h"
#include "app/unit1.h"
#include "i18n/dialog_texts.h"
#include "recovery/map_file.h"
#include "recovery/destination_path.h"
#include "platform/file_system.h"
#include "widgets/text_bytes.h"

namespace salvorine {

void TForm1::ShowDamageMap(bool reload) {
  const QModelIndex current = StringGrid1->currentIndex();
  const int row = current.isValid() ? table_->TableRow(current.row()) : 0;
  if (row <= 0 || row >= table_->RowCount()) {
    if (map_row_ != 0) DamageMap1->Clear();
    map_row_ = 0;
    return;
  }
  const std::int64_t size = std::atoll(table_->Cell(1, row).c_str());
  if (const RescueMap* live = run_->CurrentRow() == row ? run_->LiveMap() : nullptr) {
    // The run's own map, at most ten times a second.
    const auto now = std::chrono::steady_clock::now();
    if (!reload && map_live_ && map_row_ == row && now - map_shown_at_ < std::chrono::milliseconds(100)) return;
    map_shown_at_ = now;
    map_row_ = row;
    map_live_ = true;
    const bool reading = read_watch_.open && read_watch_.under_way;
    DamageMap1->ShowMap(live->Segments(), size, reading ? read_watch_.start : 0, reading ? read_watch_.end : 0);
    return;
  }
  const RowState state = table_->StateOf(row);
  if (!reload && !map_live_ && map_row_ == row && map_state_ == state) return;
  map_row_ = row;
  map_live_ = false;
  map_state_ = state;
  // The map saved beside the copies, by this run or an earlier one; a copy saved whole has none.
  const std::string map_path = run_->MapPathOf(row);
  QFile file(Shown(map_path));
  std::optional<RescueMap> saved;
  if (!run_->SaveFolder().empty() && file.open(QIODevice::ReadOnly)) {
    saved = ParseMapFile(file.readAll().toStdString(), size);
  }
  if (!saved) {
    saved.emplace(0, size);
    if (state == RowState::kSaved) saved->Set(0, size, RescueState::kDone);
  }
  DamageMap1->ShowMap(saved->Segments(), size);
}

// The report of the save folder shown now, read afresh: it outlives the
// program, and a run into another folder has a report of its own.
void TForm1::Report1Click() {
  AnchorSaveFolder();
  std::string folder = SaveFolder();
  if (!folder.empty() && folder.back() != '/') folder += '/';
  const std::string path = ReportPathIn(folder);
  if (folder.empty() || !FileExists(path)) return services_.dialogs.ShowInformation(no_report_text_);
  QFile report(Shown(path));
  if (!report.open(QIODevice::ReadOnly)) {
    return services_.dialogs.ShowError(Bytes(ShownText(kReportUnreadableText)) + "\r" + path + ": " +
                                       Bytes(report.errorString()));
  }
  if (report_dialog_ == nullptr) {
    report_dialog_ =
        new DamageReportDialog([this](const std::string& map, std::int64_t size) { OpenMap(map, size); }, this);
  }
  ReportDialogTexts texts{QString(Report1->text()).remove(QLatin1Char('&')), {}, {}, ShownText(kOpenMapText)};
  for (const WindowText& column : kReportColumnTexts) texts.columns.append(ShownText(column));
  for (const WindowText& state : kReportStateTexts) texts.state_words.append(ShownText(state));
  report_dialog_->ShowReport(report.readAll().toStdString(), texts);
  report_dialog_->show();
  report_dialog_->raise();
}

// A row's saved map inside the program: drawn as the map panel draws it, over its text.
void TForm1::OpenMap(const std::string& path, std::int64_t size) {
  QFile map(Shown(path));
  if (!map.open(QIODevice::ReadOnly)) {
    return services_.dialogs.ShowError(Bytes(ShownText(kReportUnreadableText)) + "\r" + path + ": " +
                                       Bytes(map.errorString()));
  }
  const QByteArray text = map.readAll();
  const std::optional<RescueMap> parsed = ParseMapFile(text.toStdString(), size);
  if (map_window_ == nullptr) map_window_ = new TextWindow(this);
  map_window_->ShowMap(QString::fromUtf8(text), Shown(path),
                       parsed ? parsed->Segments() : std::vector<RescueMap::Segment>{}, size, map_texts_);
}

}  // namespace salvorine
