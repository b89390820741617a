#include "platform/tray_device.h"

#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "platform/file_system.h"

namespace salvorine {
namespace {

void SendToDrive(const std::string& device, unsigned long request) {
  const int fd = ::open(device.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return;
  ::ioctl(fd, request, 0);
  ::close(fd);
}

}  // namespace

std::string OpticalDriveTray::DevicePath() {
  struct stat status {};
  return ::stat("/dev/cdrom", &status) == 0 ? "/dev/cdrom" : "/dev/sr0";
}

void OpticalDriveTray::Open() { SendToDrive(DevicePath(), CDROMEJECT); }
void OpticalDriveTray::Close() { SendToDrive(DevicePath(), CDROMCLOSETRAY); }

// Whatever file system a medium carries, its mount point is listed: a fixed
// list of types would hide a disc or stick formatted with any other.
std::vector<std::string> RemovableMediaMounts(const std::string& mounts_text) {
  std::vector<std::string> mounts;
  std::istringstream lines(mounts_text);
  std::string line, device, mount_point;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    if (!(fields >> device >> mount_point)) continue;
    mount_point = UnescapedMountPoint(mount_point);
    const bool media_folder =
        mount_point.starts_with("/media/") || mount_point.starts_with("/run/media/") || mount_point == "/mnt" ||
        mount_point.starts_with("/mnt/");
    if (media_folder) mounts.push_back(mount_point);
  }
  return mounts;
}

std::vector<std::string> RemovableMediaMounts() {
  std::ifstream file("/proc/self/mounts");
  std::stringstream text;
  text << file.rdbuf();
  return RemovableMediaMounts(text.str());
}

}  // namespace salvorine
