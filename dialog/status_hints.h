#pragma once
// Plain explanations of failures for the operator: what went wrong and what
// to check. vornak-cli prints them as "hint:" lines on stderr, made from the
// handler's result; the window shows them as the status field's tooltip,
// made from the status text, which is all the field has. Toolkit-free; the
// texts are Chinese like every operator message.

#include <string>
#include <string_view>
#include <vector>

#include "ops/op_result.h"

// The file a handler loaded, where a load failure's explanation differs.
enum class HintFile {
    None,
    SendFile,  // the file to download into a load slot
    Package,   // the firmware package
};

// The explanations of a handler's result, from its fields (failing step,
// link word, box word, why a file did not load, the codes of steps that
// failed after an update's commit), each once; none for success, an input
// refused before anything was sent, or a failed jump, which the status line
// does not report either. `path` is the file the handler loaded.
std::vector<std::string> HintsForResult(const OpResult& result, HintFile file = HintFile::None,
                                        const std::string& path = {});

// The explanation of status text `text`, or empty when it reports no failure
// (progress, success) or explains itself. For a text whose result is gone
// (the window's status field); a result's own hints come from HintsForResult.
std::string HintForStatus(std::string_view text);

// Why the file at `path` cannot be opened for reading: missing, a folder,
// unreadable, or empty when it can be opened. Names the file.
std::string FileProblemHint(const std::string& path);

// Why the file at `path` cannot be written (replaced whole beside itself):
// its folder missing or not writable, a folder or a special file in its
// place, a full disk; empty when none of these is found. Names the path.
std::string FileWriteProblemHint(const std::string& path);
