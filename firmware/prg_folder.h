#pragma once
// The Prg folder under the current directory, where firmware packages (*.pkg)
// and tester packages (*.tpg) are kept, and the package lists filled from it.
//
// Lists are in natural name order with ASCII case ignored (v2.pkg before
// v10.pkg, A.pkg beside a.pkg), the order the operator looks for. When the current directory
// can't be read, nothing is created and every list from the folder is empty
// (a Prg folder at the file system's root is never what the operator meant).

#include <string>
#include <vector>

class IDialogView;

// The folder as the procedures name it, relative to the current directory.
inline constexpr char kPrgRelative[] = "./Prg/";

// Whether a package-list entry is a bare name (no '/'), a file in the Prg folder.
bool IsPrgEntryName(const std::string& entry);
// The file a package-list entry names: a bare name is looked up in the Prg
// folder ("./Prg/" + entry); an entry with a '/' is a path of its own, absolute
// or relative to the current directory, and is used as it is.
std::string PackagePathForEntry(const std::string& entry);

// The current directory, or an empty text when it can't be read.
std::string GetWorkDir();
// Creates <current directory>/Prg when missing; failure is not reported.
void EnsurePrgFolder();
// Names (file name with extension) of the entries of the Prg folder whose name
// ends in `extension` (".pkg", ".tpg"; ASCII case ignored, as the folder's
// search by pattern does on the operators' file systems), folders included, in
// natural name order, ASCII case ignored. Empty when the folder is missing.
std::vector<std::string> ListPrgEntries(const std::string& extension);

// Appends the names to combo `id` and selects entry 0 (nothing when empty).
void FillComboWithPrgEntries(IDialogView& view, int id, const std::string& extension);
// Lists the folder again into combo `id`, keeping what its field shows: the
// entry of that name stays selected while the file exists; otherwise the text
// stays with no selection (an update then names that missing file).
void RefillComboWithPrgEntries(IDialogView& view, int id, const std::string& extension);
