#pragma once
// The slots of a station group as the operator gives them: a slots file (TOML,
// read with the recipe's guards) or --slot options, and the checks both pass
// through. No threads; the checks look at which device each port leads to
// now, and open none.

#include <cstddef>
#include <string>
#include <vector>

#include "link/port_choice.h"

// One fixture slot: its name and the port its box hangs on, as the operator
// wrote it (a COM number "COM3" or "3", a device path, a /dev/serial/by-path
// or by-id name, or "usb:VID:PID[:SERIAL]").
struct StationSlot {
    std::string name;
    std::string port;
};

// Reads a slots file (TOML: one [[slot]] table per slot with `name` and
// `port`), checked as CheckSlots does. False with a message naming the file,
// line and key in `error`.
bool LoadSlotsFile(const std::string& path, std::vector<StationSlot>& slots, std::string& error);
// Parses "NAME=PORT" (the --slot option). False with `error`.
bool ParseSlotOption(const std::string& text, StationSlot& slot, std::string& error);
// Whether the slots can run together: at least one, each name usable (not
// empty, at most kMaxSlotNameBytes, no blank, control character or '=', so a
// result line still splits into words), each port a port text
// (link/port_choice.h, ParsePortText; a lone slot may leave it empty to scan
// for any box), no name and no port twice, also not by two names of one
// device (those that lead to a device now: "COM3" and the device it links
// to). False with `error`.
bool CheckSlots(const std::vector<StationSlot>& slots, std::string& error);
// The port a slot watches, of `slotCount` slots (a lone slot without a port
// scans for any box); false with `error` for a port text ParsePortText
// refuses.
bool SlotPortChoice(const StationSlot& slot, std::size_t slotCount, PortChoice& choice,
                    std::string& error);
// Slot names longer than this are refused: a name is shown on a tile and
// leads every result line.
constexpr std::size_t kMaxSlotNameBytes = 64;
