#pragma once

#include <string>
#include <vector>

namespace salvorine {

// The disc tray the Eject command drives. Results are not reported: a drive
// that is missing, busy or without a motorised tray simply does nothing.
class TrayDevice {
 public:
  virtual ~TrayDevice() = default;
  virtual void Open() = 0;
  virtual void Close() = 0;
};

// The first optical drive: /dev/cdrom when present, else /dev/sr0.
class OpticalDriveTray final : public TrayDevice {
 public:
  void Open() override;
  void Close() override;

 private:
  static std::string DevicePath();
};

// Mount points of removable and optical media: everything mounted under
// /media, /run/media or /mnt, whatever its file system, read from text in the
// format of /proc/self/mounts, in the order listed.
std::vector<std::string> RemovableMediaMounts(const std::string& mounts_text);
// The same, from this process's mount table.
std::vector<std::string> RemovableMediaMounts();

}  // namespace salvorine
