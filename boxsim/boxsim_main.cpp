// vornak-boxsim: a simulated box on a pseudo-terminal, for demos and manual
// runs of the tool. It serves until SIGINT or SIGTERM and then removes its
// link. With --make-package it only writes a sample firmware package.

#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "base/command_line.h"
#include "base/file_replace.h"
#include "boxsim/box_simulator.h"
#include "link/command_codes.h"

namespace {

constexpr int kDefaultCom = 3;
constexpr char kDefaultPackageVersion[] = "VBX-100 V2.4.0";
// A few packets' worth: the transfer shows progress without taking long.
constexpr std::size_t kDefaultPackageSize = 4096;

constexpr char kUsage[] =
    "Usage: vornak-boxsim [options]\n"
    "Simulates the body-control box on a pseudo-terminal linked as DIR/COMn.\n"
    "\n"
    "  --port-dir DIR        folder for the COMn link (default: $VORNAK_PORT_DIR)\n"
    "  --com N               port number n of the link DIR/COMn (default 3)\n"
    "  --version TEXT        version text the box reports\n"
    "  --serial HEX          serial number bytes, e.g. 1234AB00\n"
    "  --restart-ms N        silence after a firmware commit, in ms (default 3000)\n"
    "  --throttle BAUD       pace the line at BAUD (10 bits a byte); 0: off\n"
    "  --unsolicited-ms N    send a frame of the box's own every N ms; 0: off\n"
    "  --byte-delay-ms N     pause N ms between the bytes of every reply\n"
    "  --silent              answer no request\n"
    "  --bad-checksum        corrupt the checksum of every reply\n"
    "  --garbage HEX         write these bytes ahead of every reply\n"
    "  --truncate N          send only the first N bytes of every reply frame\n"
    "  --result CMD=WORD     answer command CMD with the result word WORD (hex);\n"
    "                        CMD is a name such as CMD_CONFIG_READ_1 or a hex code;\n"
    "                        may be repeated\n"
    "  --store-fault B:K:M   store byte K of configuration block B (1..3) with\n"
    "                        the bits of hex mask M flipped on every write\n"
    "  --verbose             log every request (command, data length) on stderr\n"
    "  --make-package FILE   write a sample firmware package to FILE and exit\n"
    "  --package-version T   version text inside that package (default VBX-100 V2.4.0)\n"
    "  --package-size N      firmware data bytes in that package (default 4096)\n"
    "  --help                show this text\n"
    "\n"
    "A sample package is a 32-byte header (C9 49, the version text, zero padded)\n"
    "followed by the data; after a commit the box reports that version.\n";

struct Options {
    std::string portDir;
    int com = kDefaultCom;
    std::optional<std::string> version;
    std::optional<std::vector<std::uint8_t>> serial;
    std::optional<long> restartMs;
    SimFaults faults;
    std::vector<std::pair<std::uint16_t, std::uint16_t>> results;
    std::optional<SimStoreFault> storeFault;
    bool verbose = false;
    std::string packageFile;
    std::string packageVersion = kDefaultPackageVersion;
    std::size_t packageSize = kDefaultPackageSize;
};

bool ParseNumber(const std::string& text, int base, unsigned long max, unsigned long& value) {
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long v = std::strtoul(text.c_str(), &end, base);
    if (errno != 0 || *end != '\0' || text[0] == '-' || v > max)
        return false;
    value = v;
    return true;
}

// "B:K:M": block 1..3, byte index, hexadecimal mask of one byte.
bool ParseStoreFault(const std::string& text, std::optional<SimStoreFault>& fault) {
    const std::size_t a = text.find(':');
    const std::size_t b = a == std::string::npos ? a : text.find(':', a + 1);
    unsigned long block = 0;
    unsigned long byte = 0;
    unsigned long mask = 0;
    if (b == std::string::npos || !ParseNumber(text.substr(0, a), 10, 3, block) || block == 0 ||
        !ParseNumber(text.substr(a + 1, b - a - 1), 10, 255, byte) ||
        !ParseNumber(text.substr(b + 1), 16, 0xFF, mask)) {
        return false;
    }
    fault = SimStoreFault{static_cast<int>(block), byte, static_cast<std::uint8_t>(mask)};
    return true;
}

bool ParseHexBytes(std::string text, std::vector<std::uint8_t>& bytes) {
    std::erase_if(text, [](char c) { return c == ' ' || c == ':' || c == '-'; });
    if (text.size() % 2 != 0)
        return false;
    bytes.clear();
    for (std::size_t i = 0; i < text.size(); i += 2) {
        unsigned long v = 0;
        if (!ParseNumber(text.substr(i, 2), 16, 0xFF, v))
            return false;
        bytes.push_back(static_cast<std::uint8_t>(v));
    }
    return true;
}

bool ParseCommand(const std::string& text, std::uint16_t& code) {
    for (const CommandInfo& c : kCommands) {
        if (text == c.name) {
            code = c.code;
            return true;
        }
    }
    std::string hex = text;
    if (hex.starts_with("0x") || hex.starts_with("0X"))
        hex = hex.substr(2);
    unsigned long v = 0;
    if (!ParseNumber(hex, 16, 0xFFFF, v))
        return false;
    code = static_cast<std::uint16_t>(v);
    return true;
}

std::string CommandName(std::uint16_t code) {
    if (const CommandInfo* c = FindCommand(code))
        return std::string(c->name);
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%04X", code);
    return buf;
}

// Each may be given again: the last one counts (every --result does).
constexpr OptionRow kOptions[] = {
    {"--port-dir", OptionValue::Required, true},
    {"--com", OptionValue::Required, true},
    {"--version", OptionValue::Required, true},
    {"--serial", OptionValue::Required, true},
    {"--restart-ms", OptionValue::Required, true},
    {"--throttle", OptionValue::Required, true},
    {"--unsolicited-ms", OptionValue::Required, true},
    {"--byte-delay-ms", OptionValue::Required, true},
    {"--silent", OptionValue::None, true},
    {"--bad-checksum", OptionValue::None, true},
    {"--garbage", OptionValue::Required, true},
    {"--truncate", OptionValue::Required, true},
    {"--result", OptionValue::Required, true},
    {"--store-fault", OptionValue::Required, true},
    {"--verbose", OptionValue::None, true},
    {"--make-package", OptionValue::Required, true},
    {"--package-version", OptionValue::Required, true},
    {"--package-size", OptionValue::Required, true},
};

// Returns 0 to go on, else the process's exit code (after --help: 0 via -1).
int ParseOptions(int argc, char** argv, Options& o) {
    const auto fail = [](const std::string& message) {
        std::cerr << "vornak-boxsim: " << message << "\n(see --help)\n";
        return 2;
    };
    CCommandLine line;
    std::string error;
    const bool parsed = line.Parse({argv + 1, static_cast<std::size_t>(argc - 1)}, kOptions, error);
    // Asked for, the help comes whatever else the line holds.
    if (line.Help()) {
        std::cout << kUsage;
        return -1;
    }
    if (!parsed)
        return fail(error);
    if (!line.Words().empty())
        return fail("unknown argument '" + line.Words().front() + "'");
    // Every value given is checked; `take` stores it (the last one stays).
    const auto each = [&line](std::string_view option, const auto& take) {
        for (const std::string& v : line.Values(option)) {
            if (!take(v))
                return false;
        }
        return true;
    };
    // A number in [min, max] of the given base into `out`.
    const auto number = [](unsigned long min, unsigned long max, int base, auto& out) {
        return [min, max, base, &out](const std::string& v) {
            unsigned long n = 0;
            if (!ParseNumber(v, base, max, n) || n < min)
                return false;
            out = static_cast<std::remove_reference_t<decltype(out)>>(n);
            return true;
        };
    };
    const auto text = [](auto& out) {
        return [&out](const std::string& v) {
            out = v;
            return true;
        };
    };

    if (const char* dir = std::getenv("VORNAK_PORT_DIR"))
        o.portDir = dir;
    each("--port-dir", text(o.portDir));
    each("--version", text(o.version));
    each("--make-package", text(o.packageFile));
    each("--package-version", text(o.packageVersion));
    o.faults.silent = line.Has("--silent");
    o.faults.badChecksum = line.Has("--bad-checksum");
    o.verbose = line.Has("--verbose");

    long restartMs = 0;
    unsigned long unsolicitedMs = 0;
    unsigned long byteDelayMs = 0;
    if (!each("--com", number(1, 255, 10, o.com)))
        return fail("--com wants 1..255");
    if (!each("--serial", [&o](const std::string& v) {
            std::vector<std::uint8_t> bytes;
            if (!ParseHexBytes(v, bytes))
                return false;
            o.serial = bytes;
            return true;
        }))
        return fail("--serial wants hexadecimal bytes");
    if (!each("--restart-ms", number(0, 3'600'000, 10, restartMs)))
        return fail("--restart-ms wants milliseconds");
    if (line.Has("--restart-ms"))
        o.restartMs = restartMs;
    if (!each("--throttle", number(0, 10'000'000, 10, o.faults.throttleBaud)))
        return fail("--throttle wants a baud rate");
    if (!each("--unsolicited-ms", number(0, 3'600'000, 10, unsolicitedMs)))
        return fail("--unsolicited-ms wants ms");
    if (line.Has("--unsolicited-ms"))
        o.faults.unsolicitedInterval = std::chrono::milliseconds(unsolicitedMs);
    if (!each("--byte-delay-ms", number(0, 60'000, 10, byteDelayMs)))
        return fail("--byte-delay-ms wants ms");
    if (line.Has("--byte-delay-ms"))
        o.faults.byteDelay = std::chrono::milliseconds(byteDelayMs);
    if (!each("--garbage",
              [&o](const std::string& v) { return ParseHexBytes(v, o.faults.garbage); }))
        return fail("--garbage wants hexadecimal bytes");
    if (!each("--truncate", number(0, 0xFFFF, 10, o.faults.truncateReply)))
        return fail("--truncate wants a byte count");
    if (!each("--result", [&o](const std::string& v) {
            const std::size_t eq = v.find('=');
            std::uint16_t code = 0;
            unsigned long word = 0;
            std::string w = eq == std::string::npos ? "" : v.substr(eq + 1);
            if (w.starts_with("0x") || w.starts_with("0X"))
                w = w.substr(2);
            if (eq == std::string::npos || !ParseCommand(v.substr(0, eq), code) ||
                !ParseNumber(w, 16, 0xFFFF, word))
                return false;
            o.results.emplace_back(code, static_cast<std::uint16_t>(word));
            return true;
        }))
        return fail("--result wants CMD=WORD, e.g. CMD_CONFIG_READ_1=1234");
    if (!each("--store-fault",
              [&o](const std::string& v) { return ParseStoreFault(v, o.storeFault); }))
        return fail("--store-fault wants BLOCK:BYTE:MASK, e.g. 1:0:01");
    if (!each("--package-size", number(0, 64ul << 20, 10, o.packageSize)))
        return fail("--package-size wants bytes");
    return 0;
}

int WritePackage(const Options& o) {
    const std::vector<std::uint8_t> package = MakeSamplePackage(o.packageVersion, o.packageSize);
    std::string error;
    if (!ReplaceFileWhole(
            o.packageFile,
            std::string_view(reinterpret_cast<const char*>(package.data()), package.size()),
            error)) {
        std::cerr << "vornak-boxsim: " << error << "\n";
        return 1;
    }
    std::cout << "vornak-boxsim: wrote " << o.packageFile << " (" << package.size()
              << " bytes, version " << o.packageVersion << ")\n";
    return 0;
}

void Configure(CBoxSimulator& sim, const Options& o) {
    if (o.version)
        sim.SetVersion(*o.version);
    if (o.serial)
        sim.SetSerial(*o.serial);
    if (o.restartMs)
        sim.SetRestartTime(std::chrono::milliseconds(*o.restartMs));
    sim.SetFaults(o.faults);
    sim.SetStoreFault(o.storeFault);
    for (const auto& [code, word] : o.results) {
        SimOverride over;
        over.resultWord = word;
        sim.SetOverride(code, over);
    }
    if (o.verbose) {
        sim.SetRequestHook([](const SimRequest& r) {
            std::fprintf(stderr, "vornak-boxsim: %s sub %u, %zu data bytes\n",
                         CommandName(r.command).c_str(), r.subCode, r.data.size());
        });
    }
}

}  // namespace

int main(int argc, char** argv) {
    // A reader of the log that goes away (`| head`) must not stop the box in
    // the middle of an exchange: writes to it fail quietly instead.
    signal(SIGPIPE, SIG_IGN);
    Options o;
    if (const int rc = ParseOptions(argc, argv, o); rc != 0)
        return rc < 0 ? 0 : rc;
    if (!o.packageFile.empty())
        return WritePackage(o);
    if (o.portDir.empty()) {
        std::cerr << "vornak-boxsim: no port folder: give --port-dir DIR or set VORNAK_PORT_DIR\n";
        return 2;
    }

    // Block the stop signals before the serving thread starts, so that it
    // inherits the mask and only sigwait() below sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    CBoxSimulator sim;
    Configure(sim, o);
    if (!sim.Start(o.portDir, o.com)) {
        std::cerr << "vornak-boxsim: cannot create COM" << o.com << " in " << o.portDir << ": "
                  << std::strerror(errno) << "\n";
        return 1;
    }
    std::cout << "vornak-boxsim: box on COM" << o.com << " -> " << sim.SlavePath() << " (link "
              << sim.LinkPath() << ")" << std::endl;

    int signal = 0;
    sigwait(&stopSignals, &signal);
    sim.Stop();
    std::cout << "vornak-boxsim: stopped" << std::endl;
    return 0;
}
