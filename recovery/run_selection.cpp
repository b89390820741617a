#include "recovery/run_selection.h"

#include <filesystem>

#include "i18n/failure_wording.h"
#include "i18n/plural_forms.h"
#include "i18n/run_view_texts.h"
#include "i18n/window_texts.h"
#include "recovery/source_list.h"

namespace salvorine {
namespace {

// Why something below the selection was left out, in the language shown.
std::string LeftOutText(const LeftOut& entry, const MessageTable& messages) {
  switch (entry.kind) {
    case EntryKind::kFolder: return WithValue(messages.Text(kFolderUnreadableText), ErrorText(entry.error));
    case EntryKind::kSpecial: return messages.Text(kLeftOutSpecialText);
    case EntryKind::kFolderLink: return messages.Text(kLeftOutFolderLinkText);
    case EntryKind::kBrokenLink: return messages.Text(kLeftOutBrokenLinkText);
    default: return WithValue(messages.Text(kLeftOutUnreadableText), ErrorText(entry.error));
  }
}

// Dialogs that list the errors shown through them instead of showing each.
struct Listing final : Dialogs {
  std::vector<std::string>& list;
  Dialogs& inner;
  Listing(std::vector<std::string>& into, Dialogs& dialogs) : list(into), inner(dialogs) {}
  void ShowError(const std::string& text) override { list.push_back(text); }
  void ShowInformation(const std::string& text) override { inner.ShowInformation(text); }
  bool AskYesNo(const std::string& text) override { return inner.AskYesNo(text); }
  bool AskOkCancel(const std::string& text) override { return inner.AskOkCancel(text); }
};

}  // namespace

Selection CollectSelection(const std::string& root, JobTable& table, Dialogs& dialogs, const MessageTable& messages) {
  Selection selection;
  std::vector<LeftOut> left_out;
  CollectSources(root, selection.sources, left_out);
  std::vector<std::string> announced;
  for (const LeftOut& entry : left_out) announced.push_back(entry.path + "\r" + LeftOutText(entry, messages));
  const std::size_t collected = selection.sources.size();
  // Files that cannot be opened join the list.
  Listing listing(announced, dialogs);
  selection.identities = BuildJobTable(selection.sources, table, listing);
  if (!announced.empty()) {
    const auto count = static_cast<std::int64_t>(announced.size());
    dialogs.ShowLeftOut(WithValue(WithPluralForms(messages.Text(kLeftOutListText), {count}), std::to_string(count)),
                        announced);
  }
  selection.left_out = static_cast<int>(left_out.size() + (collected - selection.sources.size()));
  return selection;
}

bool SaveFolderInsideSelection(const std::string& selection, const std::string& save_folder) {
  const std::string resolved_selection = ResolvedPath(selection);
  const std::string save = ResolvedPath(save_folder);
  if (resolved_selection.empty() || save.empty()) return false;
  return resolved_selection == "/" || save == resolved_selection || save.starts_with(resolved_selection + "/");
}

void MakeSaveFolder(const std::string& folder) {
  std::vector<std::string> missing;
  std::error_code unknown;
  // Whatever stands at a path (a file too) ends the climb; MakeFolder then says what is wrong.
  const auto taken = [&](const std::string& at) { return std::filesystem::exists(at.substr(0, at.size() - 1), unknown); };
  for (std::string at = folder; at.size() > 1 && !taken(at);) {
    missing.push_back(at);
    at = at.substr(0, at.find_last_of('/', at.size() - 2) + 1);
  }
  for (auto at = missing.rbegin(); at != missing.rend(); ++at) MakeFolder(*at);
}

}  // namespace salvorine
