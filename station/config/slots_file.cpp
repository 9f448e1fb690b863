// The slots of a station group: the slots file, the --slot option and the
// checks both pass through.

#include <toml++/toml.h>

#include "base/utf8_text.h"
#include "link/port_choice.h"
#include "station/config/toml_file.h"
#include "station/engine/station_group.h"

namespace {

// Why `name` cannot name a slot, or empty.
std::string BadNameReason(const std::string& name) {
    if (name.empty())
        return "must not be empty";
    if (name.size() > kMaxSlotNameBytes)
        return "longer than " + std::to_string(kMaxSlotNameBytes) + " bytes";
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= ' ' || u == 0x7F || c == '=')
            return "must hold no blank, control character or '='";
    }
    if (const std::string invisible = FirstInvisibleCharacter(name); !invisible.empty())
        return "must hold no invisible or direction-changing character (" + invisible + ")";
    return {};
}

// The device each slot's port leads to now (empty where none, or where the
// port text is bad): two names for one device would leave one slot waiting
// for ever.
std::vector<std::string> SlotDevicesNow(const std::vector<StationSlot>& slots) {
    std::vector<std::string> devices;
    for (const StationSlot& slot : slots) {
        PortChoice choice;
        std::string ignored;  // a bad port text is said by SlotProblem
        devices.push_back(SlotPortChoice(slot, slots.size(), choice, ignored)
                              ? ChosenDeviceNow(choice)
                              : std::string());
    }
    return devices;
}

// What is wrong with slot `index` among the first `index` slots, and which
// key it concerns; false when nothing is. `devices` as SlotDevicesNow gives.
bool SlotProblem(const std::vector<StationSlot>& slots, const std::vector<std::string>& devices,
                 std::size_t index, std::string& key, std::string& what) {
    const StationSlot& slot = slots[index];
    what = BadNameReason(slot.name);
    if (!what.empty()) {
        key = "name";
        return true;
    }
    PortChoice choice;
    if (!SlotPortChoice(slot, slots.size(), choice, what)) {
        key = "port";
        return true;
    }
    for (std::size_t i = 0; i < index; ++i) {
        if (slots[i].name == slot.name) {
            key = "name";
            what = "slot name '" + slot.name + "' given twice";
            return true;
        }
        if (PortTextKey(slots[i].port) == PortTextKey(slot.port)) {
            key = "port";
            what = "port '" + slot.port + "' is already slot '" + slots[i].name + "''s port";
            return true;
        }
        if (!devices[index].empty() && devices[i] == devices[index]) {
            key = "port";
            what = "port '" + slot.port + "' is " + devices[index] + ", as slot '" + slots[i].name +
                   "''s port '" + slots[i].port + "' is";
            return true;
        }
    }
    return false;
}

struct SlotsError {
    std::string message;
};

class CSlotsReader {
public:
    explicit CSlotsReader(std::string path) : m_path(std::move(path)) {}

    std::vector<StationSlot> Read() {
        std::string bytes;
        toml::table root;
        std::string error;
        if (!ReadTomlFile(m_path, bytes, root, error))
            throw SlotsError{error};
        for (auto&& [key, node] : root) {
            if (key.str() != "slot")
                Fail(&node, std::string(key.str()), "unknown key");
        }
        const toml::array* array = root["slot"].as_array();
        if (array == nullptr || array->empty())
            Fail(root.get("slot"), "slot", "give one [[slot]] table per slot");

        std::vector<StationSlot> slots;
        std::vector<const toml::table*> tables;
        for (std::size_t i = 0; i < array->size(); ++i) {
            const std::string prefix = "slot[" + std::to_string(i + 1) + "]";
            const toml::table* table = (*array)[i].as_table();
            if (table == nullptr)
                Fail(&(*array)[i], prefix, "must be a table");
            for (auto&& [key, node] : *table) {
                if (key.str() != "name" && key.str() != "port")
                    Fail(&node, prefix + "." + std::string(key.str()), "unknown key");
            }
            slots.push_back({String(*table, "name", prefix), String(*table, "port", prefix)});
            tables.push_back(table);
        }
        // Checked once all are read: whether a slot may scan depends on the count.
        const std::vector<std::string> devices = SlotDevicesNow(slots);
        for (std::size_t i = 0; i < slots.size(); ++i) {
            std::string key;
            std::string what;
            if (SlotProblem(slots, devices, i, key, what))
                Fail(tables[i]->get(key), "slot[" + std::to_string(i + 1) + "]." + key, what);
        }
        return slots;
    }

private:
    [[noreturn]] void Fail(const toml::node* node, const std::string& key,
                           const std::string& what) const {
        throw SlotsError{TomlErrorText(m_path, node, key, what)};
    }

    std::string String(const toml::table& table, const std::string& key,
                       const std::string& prefix) const {
        const toml::node* node = table.get(key);
        if (node == nullptr)
            Fail(&table, prefix + "." + key, "missing");
        const auto value = node->value<std::string>();
        if (!node->is_string() || !value)
            Fail(node, prefix + "." + key, "must be a string");
        return *value;
    }

    const std::string m_path;
};

}  // namespace

bool SlotPortChoice(const StationSlot& slot, std::size_t slotCount, PortChoice& choice,
                    std::string& error) {
    // A lone slot without a port scans for any box, as a single station does.
    if (slot.port.empty() && slotCount == 1) {
        choice = PortChoice{};
        return true;
    }
    return ParsePortText(slot.port, choice, error);
}

bool LoadSlotsFile(const std::string& path, std::vector<StationSlot>& slots, std::string& error) {
    try {
        slots = CSlotsReader(path).Read();
        return true;
    } catch (const SlotsError& e) {
        error = e.message;
        return false;
    }
}

bool ParseSlotOption(const std::string& text, StationSlot& slot, std::string& error) {
    const std::size_t equals = text.find('=');
    if (equals == std::string::npos || equals == 0 || equals + 1 == text.size()) {
        error = "bad slot '" + text + "': give NAME=PORT";
        return false;
    }
    slot.name = text.substr(0, equals);
    slot.port = text.substr(equals + 1);
    return true;
}

bool CheckSlots(const std::vector<StationSlot>& slots, std::string& error) {
    if (slots.empty()) {
        error = "no slots";
        return false;
    }
    const std::vector<std::string> devices = SlotDevicesNow(slots);
    for (std::size_t i = 0; i < slots.size(); ++i) {
        std::string key;
        std::string what;
        if (SlotProblem(slots, devices, i, key, what)) {
            error =
                "slot " + std::to_string(i + 1) + " (" + slots[i].name + "): " + key + ": " + what;
            return false;
        }
    }
    return true;
}
