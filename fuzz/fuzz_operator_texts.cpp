// The short texts an operator or a plant engineer types (a port, a USB
// identity, a --slot option, a time bound, the shifts) and the step lists a
// store keeps as JSON. The first byte picks the reader, the rest is its
// input. An accepted text keeps the reader's promise: a port choice in range,
// a time bound that is the text itself, shifts ascending within a day, a step
// list that reads back as it was written.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "link/port_choice.h"
#include "records/record_json.h"
#include "records/record_time.h"
#include "records/report/report_shifts.h"
#include "station/config/slots_file.h"

namespace {

constexpr int kMaxPortNumber = 255;
constexpr int kMinutesPerDay = 24 * 60;

void CheckPortChoice(const PortChoice& choice) {
    if (choice.kind == PortChoice::Kind::Number &&
        (choice.number < 1 || choice.number > kMaxPortNumber))
        std::abort();
    if (choice.kind == PortChoice::Kind::Path && choice.path.empty())
        std::abort();
    if (PortChoiceKey(choice).empty() && choice.kind != PortChoice::Kind::AnyPort)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::string error;
    switch (data[0] % 7) {
        case 0: {
            PortChoice choice;
            if (ParsePortArgument(text, choice, error))
                CheckPortChoice(choice);
            break;
        }
        case 1: {
            PortChoice choice;
            if (ParsePortText(text, choice, error))
                CheckPortChoice(choice);
            (void)PortTextKey(text);
            break;
        }
        case 2: {
            UsbIdentity usb;
            if (ParseUsbIdentity(text, usb, error) && UsbIdentityText(usb).empty())
                std::abort();
            break;
        }
        case 3: {
            StationSlot slot;
            if (ParseSlotOption(text, slot, error) && slot.name + "=" + slot.port != text)
                std::abort();
            break;
        }
        case 4: {
            std::string bound;
            if (ParseRecordTime(text, bound) && text.rfind(bound, 0) != 0)
                std::abort();
            std::chrono::system_clock::time_point when;
            (void)RecordTimePoint(text, when);
            break;
        }
        case 5: {
            ShiftSchedule schedule;
            if (ParseShiftSchedule(text, schedule, error)) {
                const std::vector<int>& s = schedule.startMinutes;
                if (s.empty())
                    std::abort();
                for (std::size_t i = 0; i < s.size(); ++i) {
                    if (s[i] < 0 || s[i] >= kMinutesPerDay || (i > 0 && s[i] <= s[i - 1]))
                        std::abort();
                }
            }
            break;
        }
        case 6: {
            std::vector<StepRecord> steps;
            if (StepsFromJsonText(text, steps)) {
                const std::string written = StepsJsonText(steps);
                std::vector<StepRecord> again;
                if (!StepsFromJsonText(written, again) || StepsJsonText(again) != written)
                    std::abort();
            }
            break;
        }
    }
    return 0;
}
