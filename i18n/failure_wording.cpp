#include "i18n/failure_wording.h"

#include <cerrno>
#include <string_view>

#include "platform/file_system_error.h"
#include "platform/profile_file.h"

namespace salvorine {
namespace {

// The actions a file or folder operation names when it fails, each with its
// key; "%1" stands for the path. Other actions take the general text.
struct ActionText {
  std::string_view action;
  int key;
};

constexpr ActionText kActionTexts[] = {
    {"open", 150},          {"create", 151},           {"read", 152},          {"write to", 153},
    {"write to disk", 154}, {"close", 155},            {"save", 156},          {"create folder", 157},
    {"open folder", 158},   {"remove", 159},           {"set the mode of", 160}, {"set the time of", 161},
    {"copy to", 162},       {"save over", 163},        {"query the size of", 164},
    {"use the private folder", 171},
};
constexpr int kGeneralKey = 165;  // %1: the path, %2: the action in English

std::string Replaced(std::string text, std::string_view marker, const std::string& value) {
  const std::size_t at = text.find(marker);
  if (at != std::string::npos) text.replace(at, marker.size(), value);
  return text;
}

}  // namespace

std::string OpenFailureText(const std::string& path, const FileSystemError& error) {
  const bool refused = error.Code() == EACCES || error.Code() == EPERM;
  return path + "\r" + (refused ? std::string("File access denied.") : std::string(error.what()));
}

std::string WithValue(std::string text, const std::string& value) { return Replaced(std::move(text), "%1", value); }

void WordFileSystemErrorsIn(const std::string& language_file) {
  SetFailureWording([file = ProfileFile(language_file)](const std::string& action, const std::string& path) {
    for (const ActionText& entry : kActionTexts) {
      if (entry.action != action) continue;
      const std::string text = file.ReadString("Messages", std::to_string(entry.key), "");
      if (!text.empty()) return WithValue(text, path);
    }
    const std::string general = file.ReadString("Messages", std::to_string(kGeneralKey), "");
    if (general.empty()) return "Cannot " + action + " " + path;
    return Replaced(WithValue(general, path), "%2", action);
  });
}

}  // namespace salvorine
