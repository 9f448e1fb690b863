#include "cli/cli_wait.h"

#include <signal.h>

#include <cerrno>
#include <string>

#include "cli/cli_port_report.h"
#include "cli/cli_text_escape.h"

namespace {

// The wait's cancel signal while a Ctrl-C handler is in place.
CWakeSignal* g_cancelWait = nullptr;

void OnInterrupt(int) {
    const int saved = errno;
    if (g_cancelWait != nullptr)
        g_cancelWait->Signal();
    errno = saved;
}

// Ctrl-C raises `cancel` for the life of this object, then acts as before.
class CInterruptScope {
public:
    explicit CInterruptScope(CWakeSignal& cancel) {
        g_cancelWait = &cancel;
        struct sigaction action {};
        action.sa_handler = OnInterrupt;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &m_before);
    }
    ~CInterruptScope() {
        sigaction(SIGINT, &m_before, nullptr);
        g_cancelWait = nullptr;
    }
    CInterruptScope(const CInterruptScope&) = delete;
    CInterruptScope& operator=(const CInterruptScope&) = delete;

private:
    struct sigaction m_before {};
};

// The port choice in words: a number or path as the choice's key says it.
std::string ChoiceText(const PortChoice& choice) {
    switch (choice.kind) {
        case PortChoice::Kind::AnyPort:
            return "any port";
        case PortChoice::Kind::Usb:
            return "USB adapter " + UsbIdentityText(choice.usb);
        case PortChoice::Kind::Number:
        case PortChoice::Kind::Path:
            break;
    }
    return PortChoiceKey(choice);
}

// What went wrong at a chosen port, when anything is known.
void SayPortProblem(std::FILE* err, const PortPick& pick, const PortFailure* failure) {
    if (failure != nullptr)
        PrintPortFailure(err, pick.number, *failure);
    else if (!pick.problem.empty())
        PrintCliMessage(err, pick.problem);
}

int WaitForBoxFirst(CDeviceLink& link, const CliRequest& request, std::FILE* err, PortPick& pick) {
    PrintCliMessage(err,
                    "waiting for a box on " + ChoiceText(request.port) + " (Ctrl-C ends the wait)");
    CWakeSignal cancel;
    BoxWaitResult result;
    {
        CInterruptScope interrupts(cancel);
        result = WaitForBox(link, request.port, request.waitLimit, cancel);
    }
    pick = result.pick;
    switch (result.end) {
        case BoxWaitEnd::Answered:
            return kExitSuccess;
        case BoxWaitEnd::Cancelled:
            link.Disconnect();
            PrintCliMessage(err, "the wait for a box was ended by Ctrl-C; the command did not run");
            return kExitInterrupted;
        case BoxWaitEnd::Ambiguous:
            PrintCliMessage(err, result.pick.problem);
            return kExitUsage;
        case BoxWaitEnd::TimedOut:
            break;
    }
    PrintCliMessage(err, "no box answered within " + std::to_string(request.waitLimit->count()) +
                             " s on " + ChoiceText(request.port));
    SayPortProblem(err, result.pick, result.failure ? &*result.failure : nullptr);
    return kExitFailure;
}

}  // namespace

int PrepareBoxPort(CDeviceLink& link, const CliRequest& request, std::FILE* err, PortPick& pick) {
    if (request.wait)
        return WaitForBoxFirst(link, request, err, pick);
    if (request.port.kind == PortChoice::Kind::AnyPort)
        return kExitSuccess;
    PortFailure failure;
    if (OpenChosenPort(link, request.port, pick, failure) == ST_OK)
        return kExitSuccess;
    SayPortProblem(err, pick, failure.kind != PortFailureKind::None ? &failure : nullptr);
    return pick.ambiguous ? kExitUsage : kExitFailure;
}
