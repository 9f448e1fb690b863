#pragma once
// Every request the tool sends, with its sub-code and the waits for the first
// reply byte. The handlers name the constants; the table below gives each code
// its name for the simulator's options and log.

#include <cstdint>
#include <string_view>

constexpr std::uint16_t CMD_GET_VERSION = 0x1A87;
constexpr std::uint16_t CMD_GET_SERIAL = 0x1A9B;
constexpr std::uint16_t CMD_CONFIG_READ_1 = 0x2215;
constexpr std::uint16_t CMD_CONFIG_READ_2 = 0x2216;
constexpr std::uint16_t CMD_CONFIG_READ_3 = 0x2219;
constexpr std::uint16_t CMD_CONFIG_WRITE_1 = 0x2E07;
constexpr std::uint16_t CMD_CONFIG_WRITE_2 = 0x2E08;
constexpr std::uint16_t CMD_CONFIG_WRITE_3 = 0x2E0A;
constexpr std::uint16_t CMD_FACTORY_RESET = 0x2E09;
constexpr std::uint16_t CMD_PREPARE_A = 0x2711;
constexpr std::uint16_t CMD_PREPARE_B = 0x2712;
constexpr std::uint16_t CMD_UPGRADE_BEGIN = 0x3601;
constexpr std::uint16_t CMD_UPGRADE_DATA = 0x3602;
constexpr std::uint16_t CMD_UPGRADE_END = 0x3603;
constexpr std::uint16_t CMD_UPGRADE_COMMIT = 0x3100;
constexpr std::uint16_t CMD_FILE_DATA = 0x3604;
constexpr std::uint16_t CMD_JUMP = 0x3605;

// Sub-codes: the configuration writes carry 0, every other request 1.
constexpr std::uint16_t SUB_DEFAULT = 1;
constexpr std::uint16_t SUB_CONFIG_WRITE = 0;

// First-byte waits, in milliseconds.
constexpr std::uint32_t TIMEOUT_DEFAULT_MS = 2000;       // identity, settings, prepare
constexpr std::uint32_t TIMEOUT_PROBE_MS = 300;          // port scan: a box answers at once
constexpr std::uint32_t TIMEOUT_UPGRADE_BEGIN_MS = 6000; // the box erases before it answers
constexpr std::uint32_t TIMEOUT_TRANSFER_MS = 3000;      // data packets, end, commit, download, jump
constexpr std::uint32_t TIMEOUT_RESTART_MS = 120000;     // the box restarts after a commit

// Every caller offers this many bytes of reply buffer.
constexpr std::uint32_t REPLY_LIMIT = 512;

struct CommandInfo {
    std::uint16_t code;
    std::string_view name;
};

inline constexpr CommandInfo kCommands[] = {
    {CMD_GET_VERSION, "CMD_GET_VERSION"},
    {CMD_GET_SERIAL, "CMD_GET_SERIAL"},
    {CMD_CONFIG_READ_1, "CMD_CONFIG_READ_1"},
    {CMD_CONFIG_READ_2, "CMD_CONFIG_READ_2"},
    {CMD_CONFIG_READ_3, "CMD_CONFIG_READ_3"},
    {CMD_CONFIG_WRITE_1, "CMD_CONFIG_WRITE_1"},
    {CMD_CONFIG_WRITE_2, "CMD_CONFIG_WRITE_2"},
    {CMD_CONFIG_WRITE_3, "CMD_CONFIG_WRITE_3"},
    {CMD_FACTORY_RESET, "CMD_FACTORY_RESET"},
    {CMD_PREPARE_A, "CMD_PREPARE_A"},
    {CMD_PREPARE_B, "CMD_PREPARE_B"},
    {CMD_UPGRADE_BEGIN, "CMD_UPGRADE_BEGIN"},
    {CMD_UPGRADE_DATA, "CMD_UPGRADE_DATA"},
    {CMD_UPGRADE_END, "CMD_UPGRADE_END"},
    {CMD_UPGRADE_COMMIT, "CMD_UPGRADE_COMMIT"},
    {CMD_FILE_DATA, "CMD_FILE_DATA"},
    {CMD_JUMP, "CMD_JUMP"},
};

// The table entry of a code, or nullptr for a code the tool never sends.
constexpr const CommandInfo* FindCommand(std::uint16_t code) {
    for (const CommandInfo& c : kCommands) {
        if (c.code == code)
            return &c;
    }
    return nullptr;
}
