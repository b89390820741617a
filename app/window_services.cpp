#include "app/window_services.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>

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

void MessageBoxes::ShowLeftOut(const std::string& heading, const std::vector<std::string>& entries) {
  LeftOutDialog dialog(Shown(heading), entries, owner_);
  dialog.exec();
}

std::string FileDialogFolderPicker::PickFolder(QWidget* owner, const QString& title, const std::string& start_folder) {
  return Bytes(QFileDialog::getExistingDirectory(owner, title, Shown(start_folder), QFileDialog::ShowDirsOnly));
}

bool DesktopServicesOpener::Open(const QUrl& url) { return QDesktopServices::openUrl(url); }

}  // namespace salvorine
