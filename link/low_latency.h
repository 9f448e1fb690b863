#pragma once
// Low latency on a serial device while the tool holds it.
//
// A USB serial adapter holds received bytes back until its buffer fills or
// its latency timer runs out (16 ms by default on FTDI chips), so every short
// reply would wait that long and a firmware update would run at about 60% of
// the line's speed. While the port is open the driver's low-latency flag is
// set and an FTDI latency timer is lowered to 1 ms; both are put back on
// close. Drivers without the flag (pseudo-terminals) and timers that are not
// writable are left alone without complaint: the port works, only slower.
//
// The sysfs root is a value so that tests point it at a folder of their own.

#include <optional>
#include <string>

constexpr char kSystemSysfsRoot[] = "/sys";
// The latency timer wanted while the port is open: the chip's smallest.
constexpr int kLowLatencyTimerMs = 1;

struct LatencyTimer {
    std::string file;  // <sysfs>/bus/usb-serial/devices/<tty>/latency_timer
    int ms = 0;
    bool writable = false;
};

// The latency timer of the device `devicePath` leads to (links followed);
// nullopt when it has none (not an FTDI adapter, or no such device).
std::optional<LatencyTimer> ReadLatencyTimer(const std::string& sysfsRoot,
                                             const std::string& devicePath);

class CLowLatency {
public:
    // Sets the low-latency flag on `fd` where the driver has one, and lowers
    // the latency timer of `devicePath` under `sysfsRoot` where it is above
    // kLowLatencyTimerMs and writable; remembers what it changed. Changes
    // nothing where a step fails.
    void Apply(int fd, const std::string& devicePath, const std::string& sysfsRoot);
    // Puts back what Apply changed, then forgets it. `fd` may be -1 when the
    // descriptor is gone; the timer is put back anyway.
    void Restore(int fd);

private:
    bool m_flagSet = false;
    int m_oldFlags = 0;
    std::string m_timerFile;
    int m_oldTimerMs = 0;
};
