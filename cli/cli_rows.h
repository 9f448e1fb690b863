#pragma once
// The look-up every vornak-cli table shares: the row whose `name` is the word
// typed (commands, sub-commands, their actions).

#include <algorithm>
#include <span>
#include <string_view>

template <class Row>
const Row* FindRow(std::span<const Row> rows, std::string_view name) {
    const auto it =
        std::find_if(rows.begin(), rows.end(), [name](const Row& row) { return row.name == name; });
    return it != rows.end() ? &*it : nullptr;
}
