#pragma once
// The upgrade handler opens "./Prg/" followed by the selected entry of the
// package list. For a package given as a path, the command-line tool makes an
// entry that names the file as seen from ./Prg, so the unchanged handler opens
// exactly that file.

#include <string>

// The entry text for `package`: the argument itself when it holds no '/' (a
// file name in ./Prg), else the path of the file relative to the Prg folder
// under the current directory.
std::string PackageEntryText(const std::string& package);
