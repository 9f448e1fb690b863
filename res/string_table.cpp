#include "res/string_table.h"

#include "res/resource.h"

namespace {

struct StringEntry {
    int id;
    std::string_view text;
};

constexpr StringEntry kStrings[] = {
    {IDS_ABOUTBOX, "关于 Vornak(&A)..."},
};

}  // namespace

std::string_view LoadResString(int id) {
    for (const StringEntry& s : kStrings) {
        if (s.id == id)
            return s.text;
    }
    return {};
}
