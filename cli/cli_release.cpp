#include "cli/cli_release.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_options.h"
#include "cli/cli_release_help.h"
#include "cli/cli_rows.h"
#include "cli/cli_text_escape.h"
#include "station/release/release_bundle.h"
#include "station/release/release_key.h"
#include "station/release/trusted_keys.h"

namespace {

constexpr char kReleaseCommand[] = "release";

constexpr OptionRow kReleaseOptions[] = {
    {"--key", OptionValue::Required},          {"--release", OptionValue::Required},
    {"--family", OptionValue::Required, true}, {"--expires", OptionValue::Required},
    {"--note", OptionValue::Required},         {"-o", OptionValue::Required},
    {"--trust", OptionValue::Required},
};

struct ReleaseRequest {
    const CCommandLine& line;
    std::string argument;  // the one word the action takes
};

// Who makes a bundle: the login name and the host.
std::string EngineerName() {
    const passwd* user = getpwuid(geteuid());
    char host[HOST_NAME_MAX + 1] = {};
    gethostname(host, sizeof host - 1);
    return std::string(user != nullptr ? user->pw_name : "unknown") + "@" + host;
}

int Refused(std::FILE* err, const std::string& message) {
    PrintCliMessage(err, message);
    return kExitUsage;
}

int Keygen(const ReleaseRequest& request, std::FILE* out, std::FILE* err) {
    std::string keyId;
    std::string error;
    if (!GenerateKeyFiles(request.argument, keyId, error))
        return Refused(err, error);
    std::fprintf(out, "key_id: %s\n", keyId.c_str());
    PrintCliMessage(err, "private key in " + request.argument + ", public key in " +
                             request.argument + ".pub; give the .pub file to the stations");
    return kExitSuccess;
}

int Create(const ReleaseRequest& request, std::FILE* out, std::FILE* err) {
    const CCommandLine& line = request.line;
    BundleRequest bundle;
    bundle.recipePath = request.argument;
    bundle.now = std::chrono::system_clock::now();
    bundle.keyPath = *line.Value("--key");
    bundle.output = *line.Value("-o");
    const std::string release = *line.Value("--release");
    if (!ParseReleaseNumber(release, bundle.release))
        return Refused(err, "bad release number '" + release + "': give a whole number from 1");
    bundle.families = line.Values("--family");
    for (const std::string& family : bundle.families) {
        if (const std::string problem = FamilyProblem(family); !problem.empty())
            return Refused(err, "bad --family '" + family + "': " + problem);
    }
    if (const auto expires = line.Value("--expires")) {
        if (!IsCalendarDate(*expires))
            return Refused(err, "bad date '" + *expires + "': give YYYY-MM-DD");
        if (*expires < UtcDateText(bundle.now))
            return Refused(err, "--expires " + *expires + " is already past");
        bundle.expires = *expires;
    }
    bundle.note = line.Value("--note").value_or("");
    bundle.engineer = EngineerName();

    ReleaseManifest manifest;
    std::string error;
    if (!CreateBundle(bundle, manifest, error))
        return Refused(err, error);
    std::fprintf(out, "bundle: %s\nkey_id: %s\n", EscapeForOutput(bundle.output).c_str(),
                 manifest.keyId.c_str());
    return kExitSuccess;
}

// Prints `text` line by line, each escaped (a manifest's strings are UTF-8
// JSON, but may still hold characters a terminal obeys).
void PrintLines(std::FILE* out, const std::string& text) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::fprintf(out, "%s\n", EscapeForOutput(text.substr(start, end - start)).c_str());
        start = end + 1;
    }
}

int Verify(const ReleaseRequest& request, std::FILE* out, std::FILE* err) {
    std::vector<TrustedKey> trusted;
    BundleChecks checks;
    checks.now = std::chrono::system_clock::now();
    std::string error;
    if (const auto folder = request.line.Value("--trust")) {
        if (!LoadTrustedKeys(*folder, trusted, error))
            return Refused(err, error);
        checks.trusted = &trusted;
    }
    const auto bundle = OpenBundle(request.argument, checks, error);
    if (!bundle)
        return Refused(err, error);
    PrintLines(out, bundle->ManifestText());
    std::fprintf(out, "id: %s\nkey_id: %s\n", bundle->Id().c_str(),
                 bundle->Manifest().keyId.c_str());
    if (!bundle->TrustedKeyPath().empty())
        std::fprintf(out, "trusted: %s\n", EscapeForOutput(bundle->TrustedKeyPath()).c_str());
    return kExitSuccess;
}

int List(const ReleaseRequest& request, std::FILE* out, std::FILE* err) {
    std::string error;
    const auto bundle = OpenBundle(request.argument, BundleChecks{}, error);
    if (!bundle)
        return Refused(err, error);
    for (const ManifestFile& file : bundle->Manifest().files) {
        std::fprintf(out, "%s\t%llu\t%s\n", file.sha256.c_str(),
                     static_cast<unsigned long long>(file.size),
                     EscapeForOutput(file.name).c_str());
    }
    return kExitSuccess;
}

// The options each action takes; the others are a usage error there.
constexpr std::string_view kCreateOptions[] = {"--key",     "--release", "--family",
                                               "--expires", "--note",    "-o"};
constexpr std::string_view kCreateRequired[] = {"--key", "--release", "--family", "-o"};
constexpr std::string_view kVerifyOptions[] = {"--trust"};

struct ActionRow {
    std::string_view name;
    const char* argument;  // the one word the action takes
    std::span<const std::string_view> options;
    std::span<const std::string_view> required;
    int (*run)(const ReleaseRequest& request, std::FILE* out, std::FILE* err);
};

constexpr ActionRow kActions[] = {
    {"keygen", "KEYFILE", {}, {}, Keygen},
    {"create", "RECIPE", kCreateOptions, kCreateRequired, Create},
    {"verify", "BUNDLE", kVerifyOptions, {}, Verify},
    {"list", "BUNDLE", {}, {}, List},
};

// The action's row, checked against the line; null with `error`.
const ActionRow* CheckedAction(const CCommandLine& line, std::string& error) {
    const std::vector<std::string>& words = line.Words();
    if (words.empty()) {
        error = "release needs keygen, create, verify or list";
        return nullptr;
    }
    const ActionRow* action = FindRow<ActionRow>(kActions, words[0]);
    if (action == nullptr) {
        error = "unknown release command '" + words[0] + "'";
        return nullptr;
    }
    const std::string name(action->name);
    if (words.size() != 2) {
        error = "release " + name + " takes one argument, " + action->argument;
        return nullptr;
    }
    for (const std::string& option : line.GivenOptions()) {
        if (std::find(action->options.begin(), action->options.end(), option) ==
            action->options.end()) {
            error = "release " + name + " takes no " + option;
            return nullptr;
        }
    }
    if (!NoEmptyValues(line, error))
        return nullptr;
    for (const std::string_view required : action->required) {
        if (!line.Has(required)) {
            error = "release " + name + " needs " + std::string(required);
            return nullptr;
        }
    }
    return action;
}

int RunRelease(const CCommandLine& line, std::FILE* out, std::FILE* err) {
    std::string error;
    const ActionRow* action = CheckedAction(line, error);
    if (action == nullptr)
        return SubcommandUsageError(err, kReleaseCommand, error);
    return action->run(ReleaseRequest{line, line.Words()[1]}, out, err);
}

}  // namespace

CliSubcommand ReleaseSubcommand() {
    return {kReleaseCommand, kReleaseOptions, kReleaseHelp, RunRelease};
}
