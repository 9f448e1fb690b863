#pragma once
// The Prg folder under the current directory, where firmware packages (*.pkg)
// and tester packages (*.tpg) are kept, and the lists fed from it.

#include <string>
#include <vector>

class IDialogView;

// The folder as the procedures name it, relative to the current directory.
inline constexpr char kPrgRelative[] = "./Prg/";

// The current directory, or an empty text when it can't be read.
std::string GetWorkDir();
// Creates <current directory>/Prg when missing; failure is not reported.
void EnsurePrgFolder();
// Names (file name with extension) of the entries of the Prg folder whose name
// ends in `extension` (".pkg", ".tpg"), folders included, in the order the
// directory yields them. Empty when the folder is missing.
std::vector<std::string> ListPrgEntries(const std::string& extension);

// Fills combo `id` with the names and selects entry 0 (nothing when empty).
void FillComboWithPrgEntries(IDialogView& view, int id, const std::string& extension);
