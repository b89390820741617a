#pragma once

namespace salvorine {

// Language entries after the table's 0..60 that the windows show: read from
// the language file when a language is applied, the English text standing in
// for an entry the file lacks.
struct WindowText {
  int key;
  const char* english;
};

// A file row's tooltip, one per row state; %1 is the Damaged figure: bytes left as
// zeros, whether a read failed on them or the pass never tried them.
inline constexpr WindowText kRowPendingText{61, "Not reached by the run"};
inline constexpr WindowText kRowStoppedText{62, "Stopped: saved as far as it got, with its map"};
inline constexpr WindowText kRowUnsavedText{63, "Not saved: %1 bytes not recovered"};
inline constexpr WindowText kRowDamagedText{
    64, "Saved with damage: %1 bytes not recovered (unreadable or not tried), left as zeros"};
inline constexpr WindowText kRowSavedText{65, "Saved whole"};
// After a run, beside the elapsed time: %1 files, %2 damaged, %3 the bytes not
// recovered with their unit ("1.8 KB"; exactly in the tooltip), %4 the save folder;
// {N:...} words agree with count N (see plural_forms.h).
inline constexpr WindowText kRunSummaryText{
    66, "%1 {1:file|files}, %2 of them damaged, %3 not recovered; saved to %4"};
// Under the Settings dialog's mode list, one per mode.
inline constexpr WindowText kModeTexts[3] = {
    {67, "Waits for every read, however long: the most data."},
    {68, "A read that takes over 10 seconds counts as failed: faster on a bad disc."},
    {69, "Max Data, then sector by sector around what failed: the most data, the longest run."},
};
// The status bar's lasting note of the recovery mode in force (%1: its name in
// the mode list), and its tooltip.
inline constexpr WindowText kModeInForceText{172, "Mode: %1"};
inline constexpr WindowText kModeInForceHint{173, "The recovery mode in force. Settings changes it, during a run too."};

// What Recover says when the folder tree has nothing selected, as after the selected medium went away.
inline constexpr WindowText kNothingSelectedText{
    174, "Nothing is selected in the folder tree: select the folder or file to recover. "
         "A medium that went away is selected again when it comes back."};

// The Settings dialog's box that takes up earlier copies in the save folder.
inline constexpr WindowText kContinueCopiesText{70, "Continue earlier copies"};
// What a run says of a save folder inside its selection, and of what it leaves
// out of the selection (%1: the system's text for the reason).
inline constexpr WindowText kSaveInsideSelectionText{
    73, "The save folder lies inside the selection: the run would write into what it reads. "
        "Choose a save folder outside it."};
inline constexpr WindowText kLeftOutSpecialText{74, "Not a regular file (a FIFO, socket or device); left out."};
inline constexpr WindowText kLeftOutFolderLinkText{75, "A symbolic link to a folder; not followed."};
inline constexpr WindowText kLeftOutBrokenLinkText{76, "A symbolic link that leads nowhere; left out."};
inline constexpr WindowText kLeftOutUnreadableText{77, "%1; left out."};
inline constexpr WindowText kFolderUnreadableText{78, "Cannot read this folder: %1."};
// The File menu's command that opens the last run's damage report, and what it says before there is one.
inline constexpr WindowText kReportMenuText{71, "Damage Report"};
inline constexpr WindowText kNoReportText{72, "No run has written a damage report yet."};

}  // namespace salvorine
