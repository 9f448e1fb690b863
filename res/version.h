#pragma once
// The tool's version and the moment this build was made.

// The version, from the project's version in the top-level CMakeLists.txt,
// which the build hands in (res/CMakeLists.txt): the tester dialog shows it
// as V1.02, --version and the station's records as 1.2.
inline constexpr int kToolVersionMajor = VORNAK_VERSION_MAJOR;
inline constexpr int kToolVersionMinor = VORNAK_VERSION_MINOR;
inline constexpr char kToolVersionText[] = VORNAK_VERSION_TEXT;

// The build stamp's definitions are generated at every build
// (res/build_stamp.cmake), so the stamp always names the build that produced
// the binary.

// Build date, "Mmm dd yyyy": English month abbreviation, day of the month
// padded with a space (" 9"), four-digit year.
const char* BuildDateText();
// Build time, "hh:mm:ss".
const char* BuildTimeText();
