#include "cli/cli_output.h"

#include "base/bytes_text.h"
#include "cli/cli_text_escape.h"
#include "res/resource.h"

namespace {

struct FieldLine {
    int id;
    const char* label;
};
// The identity fields in the order they are printed.
constexpr FieldLine kFieldLines[] = {
    {IDC_PORT_NAME, "port"},
    {IDC_VERSION, "version"},
    {IDC_SERIAL, "serial"},
};

constexpr long long kPercent = 100;

}  // namespace

CCliReporter::CCliReporter(std::FILE* out, std::FILE* err, bool showProgress)
    : m_out(out), m_err(err), m_showProgress(showProgress) {}

void CCliReporter::OnEvent(const ControlEvent& event) {
    std::lock_guard lock(m_mutex);
    switch (event.kind) {
        case ControlEvent::Kind::Text:
            m_written.insert(event.id);
            // Clearing the line is no text of its own.
            if (event.id == IDC_STATUS && !event.text.empty()) {
                m_statusTexts.push_back(event.text);
                ClearProgressLocked();
                std::fprintf(m_out, "status: %s\n", EscapeForOutput(event.text).c_str());
                std::fflush(m_out);
                DrawProgressLocked();
            }
            break;
        case ControlEvent::Kind::Check:
        case ControlEvent::Kind::Selection:
            m_written.insert(event.id);
            break;
        case ControlEvent::Kind::Progress:
            // A busy wait has no count to draw.
            if (event.id == IDC_PROGRESS && event.total != kProgressBusy) {
                m_progressValue = event.value;
                m_progressTotal = event.total;
                m_progressShown = m_showProgress;
                DrawProgressLocked();
            }
            break;
        case ControlEvent::Kind::Visible:
            if (event.id == IDC_PROGRESS && !event.flag && m_progressShown) {
                DrawProgressLocked();
                std::fputc('\n', m_err);
                std::fflush(m_err);
                m_progressShown = false;
            }
            break;
        case ControlEvent::Kind::CheckUnknown:  // no value is no write
        default:
            break;
    }
}

void CCliReporter::Trace(bool outgoing, const std::uint8_t* bytes, std::size_t count) {
    std::string line = outgoing ? "> " : "< ";
    const std::string hex = BytesToHex(bytes, count);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        if (i != 0)
            line += ' ';
        line.append(hex, i, 2);
    }
    std::lock_guard lock(m_mutex);
    ClearProgressLocked();
    std::fprintf(m_err, "%s\n", line.c_str());
    std::fflush(m_err);
    DrawProgressLocked();
}

void CCliReporter::FinishProgress() {
    std::lock_guard lock(m_mutex);
    if (m_progressShown) {
        std::fputc('\n', m_err);
        std::fflush(m_err);
        m_progressShown = false;
    }
}

std::vector<std::string> CCliReporter::StatusTexts() const {
    std::lock_guard lock(m_mutex);
    return m_statusTexts;
}

bool CCliReporter::WasWritten(int id) const {
    std::lock_guard lock(m_mutex);
    return m_written.contains(id);
}

void CCliReporter::PrintFields(const CDialogModel& model) {
    for (const FieldLine& field : kFieldLines) {
        if (!WasWritten(field.id))
            continue;
        const std::string text = model.GetItemText(field.id);
        if (!text.empty())
            PrintLine(std::string(field.label) + ": " + EscapeForOutput(text));
    }
}

void CCliReporter::PrintLine(const std::string& line) {
    std::lock_guard lock(m_mutex);
    std::fprintf(m_out, "%s\n", line.c_str());
    std::fflush(m_out);
}

// Progress is one line on stderr, redrawn in place; anything else printed on
// the terminal first wipes it and then draws it again below.
void CCliReporter::ClearProgressLocked() {
    if (m_progressShown) {
        std::fputs("\r\033[K", m_err);
        std::fflush(m_err);
    }
}

void CCliReporter::DrawProgressLocked() {
    if (!m_progressShown)
        return;
    const long long percent =
        m_progressTotal > 0 ? m_progressValue * kPercent / m_progressTotal : kPercent;
    std::fprintf(m_err, "\rprogress: %lld/%lld bytes (%lld%%)", m_progressValue, m_progressTotal,
                 percent);
    std::fflush(m_err);
}
