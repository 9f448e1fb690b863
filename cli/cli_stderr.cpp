#include "cli/cli_stderr.h"

#include <sys/types.h>

namespace {

struct Side {
    std::FILE* target;
    std::atomic<bool>* lineOpen;
    bool diagnostics;
};

ssize_t WriteSide(void* cookie, const char* bytes, std::size_t n) {
    const Side& side = *static_cast<Side*>(cookie);
    if (n == 0)
        return 0;
    if (!side.diagnostics && side.lineOpen->exchange(false) && bytes[0] != '\n')
        std::fputc('\n', side.target);
    const std::size_t written = std::fwrite(bytes, 1, n, side.target);
    std::fflush(side.target);
    if (side.diagnostics && written > 0)
        *side.lineOpen = bytes[written - 1] != '\n';
    return written == 0 ? -1 : static_cast<ssize_t>(written);
}

int CloseSide(void* cookie) {
    delete static_cast<Side*>(cookie);
    return 0;
}

std::FILE* OpenSide(Side* side) {
    const cookie_io_functions_t functions{nullptr, WriteSide, nullptr, CloseSide};
    std::FILE* stream = fopencookie(side, "w", functions);
    if (stream == nullptr) {
        // Without a stream of its own the side writes straight to the target.
        std::FILE* target = side->target;
        delete side;
        return target;
    }
    std::setvbuf(stream, nullptr, _IONBF, 0);
    return stream;
}

}  // namespace

CCliStderr::CCliStderr(std::FILE* target) : m_target(target) {
    m_messages = OpenSide(new Side{target, &m_lineOpen, false});
    m_diagnostics = OpenSide(new Side{target, &m_lineOpen, true});
}

CCliStderr::~CCliStderr() {
    for (std::FILE* stream : {m_messages, m_diagnostics}) {
        if (stream != m_target)
            std::fclose(stream);
    }
}
