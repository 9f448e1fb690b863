#include "link/port_failure.h"

#include <cerrno>
#include <cstring>

namespace {

// The udev property that keeps ModemManager off a port.
constexpr char kModemManagerIgnore[] = "ENV{ID_MM_DEVICE_IGNORE}=\"1\"";

}  // namespace

const char* PortFailureReason(PortFailureKind kind) {
    switch (kind) {
        case PortFailureKind::None:
            return "no failure";
        case PortFailureKind::PermissionDenied:
            return "permission denied";
        case PortFailureKind::Busy:
            return "busy";
        case PortFailureKind::Gone:
            return "gone";
        case PortFailureKind::NotSerial:
            return "not a serial device";
        case PortFailureKind::Other:
            break;
    }
    return "cannot open";
}

PortFailureKind PortFailureKindFor(int error) {
    switch (error) {
        case 0:
            return PortFailureKind::None;
        case EACCES:
        case EPERM:
        case EROFS:
            return PortFailureKind::PermissionDenied;
        case EBUSY:
        case EWOULDBLOCK:
            return PortFailureKind::Busy;
        case ENOENT:
        case ENODEV:
        case ENXIO:
        case EIO:
        case ENOTDIR:
        case ELOOP:
            return PortFailureKind::Gone;
        case ENOTTY:
        case EISDIR:
        case EINVAL:
            return PortFailureKind::NotSerial;
        default:
            return PortFailureKind::Other;
    }
}

std::string PortFailureText(const PortFailure& f) {
    std::string text = PortFailureReason(f.kind);
    switch (f.kind) {
        case PortFailureKind::None:
            break;
        case PortFailureKind::PermissionDenied:
            if (f.group.empty()) {
                text += ": this user may not open the device";
            } else if (f.groupMayOpen) {
                text += ": the device belongs to group " + f.group + "; run `sudo usermod -aG " +
                        f.group + " $USER`, then log in again";
            } else {
                text += ": the device (group " + f.group +
                        ") is open to its owner only; install the udev rule that gives USB "
                        "serial adapters to group dialout, or ask the administrator";
            }
            break;
        case PortFailureKind::Busy:
            text += f.holders.empty() ? ": held by another process"
                                      : ": held by another process: " + f.holders;
            break;
        case PortFailureKind::Gone:
            text += f.path.empty() ? ": no such port (`vornak-cli ports` lists them)"
                                   : ": no device there (unplugged?)";
            break;
        case PortFailureKind::NotSerial:
            text += ": the path leads to something that is no serial line";
            break;
        case PortFailureKind::Other:
            text += std::string(": ") + std::strerror(f.error);
            break;
    }
    if (f.modemManagerRunning) {
        text += "; ModemManager is running and may grab ACM ports: the udev property ";
        text += kModemManagerIgnore;
        text += " keeps it off";
    }
    return text;
}
