#pragma once
// HandlerOutcome: what a click handler of the main dialog returns to whoever
// judges it (vornak-cli): the result the handler counts as its own, none for
// a handler that gives no verdict (a label, the toggle, the file chooser),
// or for the firmware update, which runs on a worker, the result to come.
//
// Threads: `pending` is set by the update's worker, before the dialog's
// upgrade runner turns idle.

#include <future>
#include <optional>

#include "ops/op_result.h"

struct HandlerOutcome {
    std::optional<OpResult> result = {};
    // Valid while an update started by the handler runs; its result then
    // takes the place of `result`.
    std::future<OpResult> pending = {};
};
