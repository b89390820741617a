#pragma once

#include <QString>
#include <QUrl>
#include <functional>
#include <string>

#include "platform/file_system.h"
#include "platform/tray_device.h"
#include "recovery/run_ports.h"

class QWidget;

namespace salvorine {

// The folder dialog of the Browse command.
class FolderPicker {
 public:
  virtual ~FolderPicker() = default;
  // The chosen folder's path, or empty when the user cancelled. The dialog
  // opens at `start_folder`.
  virtual std::string PickFolder(QWidget* owner, const QString& title, const std::string& start_folder) = 0;
};

// Opens a folder, file or link with the desktop's default handler.
class DesktopOpener {
 public:
  virtual ~DesktopOpener() = default;
  // False when no handler could be started for `url`.
  virtual bool Open(const QUrl& url) = 0;
};

// Message boxes with QMessageBox: captions "Error" and "Information".
class MessageBoxes final : public Dialogs {
 public:
  explicit MessageBoxes(QWidget* owner = nullptr) : owner_(owner) {}
  void SetOwner(QWidget* owner) { owner_ = owner; }
  void ShowError(const std::string& text) override;
  void ShowInformation(const std::string& text) override;
  bool AskYesNo(const std::string& text) override;
  bool AskOkCancel(const std::string& text) override;
  ExistingCopyAnswer AskExistingCopy(const ExistingCopyQuestion& question) override;
  void ShowLeftOut(const std::string& heading, const std::vector<std::string>& entries) override;

 private:
  QWidget* owner_;
};

class FileDialogFolderPicker final : public FolderPicker {
 public:
  std::string PickFolder(QWidget* owner, const QString& title, const std::string& start_folder) override;
};

class DesktopServicesOpener final : public DesktopOpener {
 public:
  bool Open(const QUrl& url) override;
};

// What the main window needs from outside; tests substitute every part.
struct WindowServices {
  Dialogs& dialogs;
  TrayDevice& tray;
  FolderPicker& folder_picker;
  DesktopOpener& desktop;
  // Where the settings and language files are; empty for the program's own folder.
  std::string program_folder = {};
  // The kind of drive a path lies on (kDriveCdRom for an optical disc).
  std::function<int(const std::string&)> drive_type = DriveType;
};

}  // namespace salvorine
