#pragma once
// The tool's version and the moment this build was made. The definitions are
// generated at every build (res/build_stamp.cmake), so the stamp always names
// the build that produced the binary.

// Version numbers, from the project's version in the top-level CMakeLists.txt.
int ToolVersionMajor();
int ToolVersionMinor();

// Build date, "Mmm dd yyyy": English month abbreviation, day of the month
// padded with a space (" 9"), four-digit year.
const char* BuildDateText();
// Build time, "hh:mm:ss".
const char* BuildTimeText();
