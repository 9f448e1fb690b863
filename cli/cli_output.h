#pragma once
// CCliReporter: turns what the dialog model hears into vornak-cli's output.
//
// Attached as the model's observer, it prints every non-empty status-line text
// at once as "status: TEXT" on stdout and remembers it, notes which identity
// fields and option controls the operation wrote, and draws transfer progress
// on stderr when asked to (stderr being a terminal). Frame traces go to stderr
// as well. Events arrive on the caller's thread or on the firmware update
// worker; one mutex keeps lines whole and the progress line out of their way.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "dialog/dialog_model.h"

class CCliReporter {
public:
    CCliReporter(std::FILE* out, std::FILE* err, bool showProgress);

    void OnEvent(const ControlEvent& event);
    // For the link's trace hook: one line of hex per frame.
    void Trace(bool outgoing, const std::uint8_t* bytes, std::size_t count);
    // Ends a progress line still on the screen.
    void FinishProgress();

    std::vector<std::string> StatusTexts() const;
    // Whether the operation wrote control `id` (text, check mark or selection).
    bool WasWritten(int id) const;

    // "port: ...", "version: ...", "serial: ..." for the identity fields that
    // were written and now hold a non-empty text. Status texts and fields are
    // printed escaped (cli/cli_text_escape.h); StatusTexts() keeps them as shown.
    void PrintFields(const CDialogModel& model);
    // A line of output of the command's own (JSON), printed as it is.
    void PrintLine(const std::string& line);

private:
    void ClearProgressLocked();
    void DrawProgressLocked();

    std::FILE* m_out;
    std::FILE* m_err;
    const bool m_showProgress;

    mutable std::mutex m_mutex;
    std::vector<std::string> m_statusTexts;
    std::set<int> m_written;
    bool m_progressShown = false;
    long long m_progressValue = 0;
    long long m_progressTotal = 0;
};
