#pragma once
// Plain explanations of the status texts that report a failure, for the
// operator: what went wrong and what to check. The window shows them as the
// status field's tooltip, vornak-cli as "hint:" lines on stderr. Toolkit-free;
// the texts are Chinese like every operator message, the status texts
// themselves stay as they are.

#include <string>
#include <string_view>

// The explanation of status text `text`, or empty when it reports no failure
// (progress, success) or explains itself.
std::string HintForStatus(std::string_view text);

// Why the file at `path` cannot be opened for reading: missing, a folder,
// unreadable, or empty when it can be opened. Names the file.
std::string FileProblemHint(const std::string& path);

// Why the file at `path` cannot be written (replaced whole beside itself):
// its folder missing or not writable, a folder or a special file in its
// place, a full disk; empty when none of these is found. Names the path.
std::string FileWriteProblemHint(const std::string& path);
