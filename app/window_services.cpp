#include "app/window_services.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QCheckBox>
#include <QMessageBox>
#include <QPushButton>

#include "app/left_out_dialog.h"
#include "widgets/text_bytes.h"

namespace salvorine {
namespace {

// Texts separate their lines with a carriage return.
QString BoxText(const std::string& text) { return Shown(text).replace('\r', '\n'); }

}  // namespace

void MessageBoxes::ShowError(const std::string& text) {
  QMessageBox::critical(owner_, QStringLiteral("Error"), BoxText(text), QMessageBox::Ok);
}

void MessageBoxes::ShowInformation(const std::string& text) {
  QMessageBox::information(owner_, QStringLiteral("Information"), BoxText(text), QMessageBox::Ok);
}

bool MessageBoxes::AskYesNo(const std::string& text) {
  return QMessageBox::information(owner_, QStringLiteral("Information"), BoxText(text),
                                  QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

bool MessageBoxes::AskOkCancel(const std::string& text) {
  return QMessageBox::information(owner_, QStringLiteral("Information"), BoxText(text),
                                  QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}

ExistingCopyAnswer MessageBoxes::AskExistingCopy(const ExistingCopyQuestion& question) {
  QMessageBox box(QMessageBox::Question, QStringLiteral("Information"), BoxText(question.text), QMessageBox::NoButton,
                  owner_);
  QAbstractButton* replace = box.addButton(Shown(question.replace), QMessageBox::DestructiveRole);
  QAbstractButton* keep_both = box.addButton(Shown(question.keep_both), QMessageBox::AcceptRole);
  QAbstractButton* skip = box.addButton(Shown(question.skip), QMessageBox::RejectRole);
  box.setDefaultButton(static_cast<QPushButton*>(keep_both));
  box.setEscapeButton(skip);
  auto* for_all = new QCheckBox(Shown(question.for_all), &box);
  box.setCheckBox(for_all);
  box.exec();
  const QAbstractButton* chosen = box.clickedButton();
  const ExistingCopy choice = chosen == replace ? ExistingCopy::kReplace
                              : chosen == skip  ? ExistingCopy::kSkip
                                                : ExistingCopy::kKeepBoth;
  return {choice, for_all->isChecked()};
}

void MessageBoxes::ShowLeftOut(const std::string& heading, const std::vector<std::string>& entries) {
  LeftOutDialog dialog(Shown(heading), entries, owner_);
  dialog.exec();
}

std::string FileDialogFolderPicker::PickFolder(QWidget* owner, const QString& title, const std::string& start_folder) {
  return Bytes(QFileDialog::getExistingDirectory(owner, title, Shown(start_folder), QFileDialog::ShowDirsOnly));
}

bool DesktopServicesOpener::Open(const QUrl& url) { return QDesktopServices::openUrl(url); }

}  // namespace salvorine
