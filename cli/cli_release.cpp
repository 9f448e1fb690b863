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

#include "cli/cli_option_split.h"
#include "cli/cli_options.h"
#include "cli/cli_release_help.h"
#include "cli/cli_text_escape.h"
#include "station/release/release_bundle.h"
#include "station/release/release_key.h"
#include "station/release/trusted_keys.h"

namespace {

constexpr char kReleaseCommand[] = "release";

struct ActionRow {
    const char* name;
    const char* argument;  // the one word the action takes
};

constexpr ActionRow kActions[] = {
    {"keygen", "KEYFILE"},
    {"create", "RECIPE"},
    {"verify", "BUNDLE"},
    {"list", "BUNDLE"},
};

constexpr OptionSpec kReleaseOptions[] = {
    {"--key", OptionValue::Required},          {"--release", OptionValue::Required},
    {"--family", OptionValue::Required, true}, {"--expires", OptionValue::Required},
    {"--note", OptionValue::Required},         {"-o", OptionValue::Required},
    {"--trust", OptionValue::Required},
};

// The options each action takes; the others are a usage error there.
const std::vector<std::string_view> kCreateOptions = {"--key",     "--release", "--family",
                                                      "--expires", "--note",    "-o"};
const std::vector<std::string_view> kVerifyOptions = {"--trust"};

struct ReleaseRequest {
    std::string action;
    std::string argument;
    SplitCommandLine line;
    bool help = false;
};

bool AllowedFor(const std::string& action, std::string_view option) {
    const std::vector<std::string_view>* allowed = action == "create"   ? &kCreateOptions
                                                   : action == "verify" ? &kVerifyOptions
                                                                        : nullptr;
    return allowed != nullptr &&
           std::find(allowed->begin(), allowed->end(), option) != allowed->end();
}

bool ParseReleaseLine(std::span<const char* const> tokens, ReleaseRequest& request,
                      std::string& error) {
    if (!SplitOptions(tokens, kReleaseOptions, request.line, error))
        return false;
    request.help = request.line.help;
    const std::vector<std::string>& words = request.line.words;
    if (request.help)
        return true;
    if (words.empty()) {
        error = "release needs keygen, create, verify or list";
        return false;
    }
    const auto action = std::find_if(std::begin(kActions), std::end(kActions),
                                     [&](const ActionRow& row) { return words[0] == row.name; });
    if (action == std::end(kActions)) {
        error = "unknown release command '" + words[0] + "'";
        return false;
    }
    request.action = action->name;
    if (words.size() != 2) {
        error = "release " + request.action + " takes one argument, " + action->argument;
        return false;
    }
    request.argument = words[1];
    for (const auto& [name, value] : request.line.options) {
        if (!AllowedFor(request.action, name)) {
            error = "release " + request.action + " takes no " + name;
            return false;
        }
        if (value && value->empty()) {
            error = "option '" + name + "' needs a value";
            return false;
        }
    }
    return true;
}

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
    const SplitCommandLine& line = request.line;
    BundleRequest bundle;
    bundle.recipePath = request.argument;
    bundle.now = std::chrono::system_clock::now();
    for (const char* required : {"--key", "--release", "--family", "-o"}) {
        if (!line.Has(required))
            return Refused(err, std::string("release create needs ") + required +
                                    "\nTry 'vornak-cli release --help'.");
    }
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

}  // namespace

bool IsReleaseCommandLine(int argc, const char* const* argv) {
    return argc >= 2 && std::string_view(argv[1]) == kReleaseCommand;
}

int RunReleaseCommandLine(int argc, const char* const* argv, std::FILE* out, std::FILE* err) {
    ReleaseRequest request;
    std::string error;
    const std::span<const char* const> tokens(argv + 2, argc > 2 ? argc - 2 : 0);
    if (!ParseReleaseLine(tokens, request, error)) {
        PrintCliMessage(err, error);
        std::fputs("Try 'vornak-cli release --help'.\n", err);
        return kExitUsage;
    }
    if (request.help) {
        std::fputs(kReleaseHelp, out);
        return kExitSuccess;
    }
    int status = kExitUsage;
    if (request.action == "keygen")
        status = Keygen(request, out, err);
    else if (request.action == "create")
        status = Create(request, out, err);
    else if (request.action == "verify")
        status = Verify(request, out, err);
    else
        status = List(request, out, err);
    std::fflush(out);
    return status;
}
