#include "cli/cli_outcome.h"

#include <algorithm>
#include <string>
#include <vector>

#include "device/option_table.h"
#include "device/settings_panel.h"
#include "res/status_texts.h"

namespace {

bool LastIs(const std::vector<std::string>& texts, const char* text) {
    return !texts.empty() && texts.back() == text;
}

bool NoErrorText(const std::vector<std::string>& texts) {
    return std::none_of(texts.begin(), texts.end(), [](const std::string& t) {
        return t.find(kTextErrorPrefix) != std::string::npos;
    });
}

bool EveryBlockRead(const CCliReporter& reporter) {
    for (int block = 1; block <= kConfigBlockCount; ++block) {
        const auto options = Options();
        const bool set = std::any_of(options.begin(), options.end(), [&](const OptionInfo& o) {
            return o.block == block && reporter.WasWritten(o.controlId);
        });
        if (!set)
            return false;
    }
    return true;
}

}  // namespace

bool IsSuccessfulOutcome(CliCommand command, const CCliReporter& reporter) {
    const std::vector<std::string> texts = reporter.StatusTexts();
    switch (command) {
        case CliCommand::Connect:
            return LastIs(texts, kTextConnected);
        case CliCommand::Info:
            return NoErrorText(texts);
        case CliCommand::Disconnect:
            return LastIs(texts, kTextDisconnected);
        case CliCommand::ReadSettings:
            return NoErrorText(texts) && EveryBlockRead(reporter);
        case CliCommand::WriteSettings:
            return NoErrorText(texts) &&
                   std::count(texts.begin(), texts.end(), kTextWriteOk) == kConfigBlockCount;
        case CliCommand::FactoryReset:
            return LastIs(texts, kTextFactoryResetOk);
        case CliCommand::Upgrade:
            return LastIs(texts, kTextUpgradeDone) && NoErrorText(texts);
        case CliCommand::Send:
            return LastIs(texts, kTextSent);
        case CliCommand::Jump:
            return LastIs(texts, kTextJumping);
        case CliCommand::Ports:
            return true;
        case CliCommand::Station:  // judged by cli/cli_station.cpp
            break;
    }
    return false;
}
