// Usage errors and help: refused before anything is sent or created.

#include <filesystem>

#include "cli_fixture.h"

TEST_F(CliTest, UsageErrorsExitWithTwoAndTouchNothing) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frobnicate"},
        {"connect", "--bogus"},
        {"connect", "extra"},
        {"connect", "-o", "x.json"},
        {"info", "--slot", "1"},
        {"send", "app.bin"},
        {"send", "--slot", "1"},
        {"send", "app.bin", "--slot", "6"},
        {"send", "app.bin", "--slot", "1x"},
        {"jump", "--slot", "-1"},
        {"jump", "--slot"},
        {"jump", "--slot="},
        {"connect", "--port", "0"},
        {"connect", "--port", "256"},
        {"connect", "--port", "COM0"},
        {"connect", "--port="},
        {"send", "app.bin", "--slot", "1", "--slot", "2"},
        {"info", "--port", "3", "--port=3"},
        {"info", "--trace", "--trace"},
        {"info", "--trace=1"},
        {"info", "--port", "3", "--usb", "0403:6001"},
        {"info", "--usb", "403:6001"},
        {"info", "--wait=0"},
        {"info", "--wait=1.5"},
        {"info", "--wait", "--wait=5"},
        {"ports", "--wait"},
        {"read-settings", "-o"},
        {"write-settings"},
        {"write-settings", "a.json", "b.json"},
        {"upgrade"},
        {"station"},
        {"station", "a.toml", "b.toml"},
        {"info", "--once"},
        {"connect", "--db", "sqlite:x.db"},
        {"station", "a.toml", "--once", "--once"},
        {"station", "a.toml", "--wait"},
    };
    for (const auto& args : cases) {
        std::string shown;
        for (const std::string& a : args)
            shown += a + " ";
        SCOPED_TRACE(shown);
        const CliResult r = Cli(args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("vornak-cli: ", 0), 0u) << r.err;
    }
    EXPECT_TRUE(m_box.Requests().empty());
    EXPECT_FALSE(std::filesystem::exists(InWork("Prg")));
}

TEST_F(CliTest, HelpForTheToolAndEachCommand) {
    const CliResult tool = Cli({"--help"});
    EXPECT_EQ(tool.exitCode, 0);
    for (const char* command : {"connect", "info", "disconnect", "read-settings", "write-settings",
                                "factory-reset", "upgrade", "send", "jump", "ports", "station"}) {
        SCOPED_TRACE(command);
        EXPECT_NE(tool.out.find(std::string("\n  ") + command + " "), std::string::npos);
        // Help needs none of the command's arguments.
        const CliResult own = Cli({command, "--help"});
        EXPECT_EQ(own.exitCode, 0);
        EXPECT_EQ(own.out.rfind(std::string("Usage: vornak-cli ") + command, 0), 0u) << own.out;
    }
    EXPECT_TRUE(m_box.Requests().empty());
}

// How a command line is split: "--name=VALUE" and "--name VALUE" are one
// option, a value is taken whatever it looks like, "--" ends the options, an
// empty or missing value and a second one are refused, each with the message
// naming the option. The first line of stderr, exactly.
TEST_F(CliTest, UsageMessageNamesTheOptionAtFault) {
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const Case cases[] = {
        {{"connect", "--bogus"}, "unknown option '--bogus'"},
        {{"connect", "--bogus=1"}, "unknown option '--bogus=1'"},
        {{"jump", "-1"}, "unknown option '-1'"},
        {{"connect", "--", "--port"}, "connect takes no arguments"},
        {{"connect", "--port"}, "option '--port' needs a value"},
        {{"connect", "--port="}, "option '--port' needs a value"},
        {{"--port=", "connect"}, "option '--port' needs a value"},
        {{"connect", "--port", "0"},
         "bad port number '0': give 1 to 255, a device path or a "
         "/dev/serial/by-id or by-path name"},
        {{"connect", "--port=0"},
         "bad port number '0': give 1 to 255, a device path or a "
         "/dev/serial/by-id or by-path name"},
        {{"jump", "--slot", "-1"}, "bad slot '-1': give 0 to 5"},
        {{"jump", "--slot=-1"}, "bad slot '-1': give 0 to 5"},
        {{"info", "--port", "3", "--port=3"}, "option '--port' given twice"},
        {{"info", "--trace", "--trace"}, "option '--trace' given twice"},
        {{"info", "--trace=1"}, "option '--trace' takes no value"},
        {{"info", "--trace=true"}, "option '--trace' takes no value"},
        {{"info", "--trace="}, "option '--trace' takes no value"},
        {{"info", "--wait", "--wait=5"}, "option '--wait' given twice"},
        {{"info", "--wait=x"},
         "bad wait 'x': give whole seconds, 1 to 86400, or --wait alone for no limit"},
        {{"info", "--wait", "5"}, "info takes no arguments"},
        {{"info", "--wait="}, "option '--wait' needs a value"},
        {{"read-settings", "-o"}, "option '-o' needs a value"},
        {{"read-settings", "-o", ""}, "option '-o' needs a file name"},
        {{"records", "list", "--serial"}, "option '--serial' needs a value"},
        {{"records", "list", "--serial="}, "option '--serial' needs a value"},
        {{"records", "list", "--serial", ""}, "option '--serial' needs a value"},
        {{"records", "list", "--db", "a.db", "--db=b.db"}, "option '--db' given twice"},
        {{"release", "verify", "b.vbundle", "--trust="}, "option '--trust' needs a value"},
        {{"release", "create", "r.toml", "--release", "1", "--family", "F", "-o", "b"},
         "release create needs --key"},
        {{"recipe", "check", "a.toml", "--json=1"}, "option '--json' takes no value"},
        {{"recipe", "check", "a.toml", "--json", "--json"}, "option '--json' given twice"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const CliResult r = Cli(c.args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.substr(0, r.err.find('\n')), std::string("vornak-cli: ") + c.message);
    }
    EXPECT_TRUE(m_box.Requests().empty());
}

// Help wins over a sub-command's words once the line splits; a short option
// takes its value joined as well.
TEST_F(CliTest, HelpAndJoinedShortValues) {
    const CliResult help = Cli({"records", "frobnicate", "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.starts_with("Usage: vornak-cli records list")) << help.out;

    const CliResult joined = Cli({"read-settings", "-oout.json", "--port", "0"});
    EXPECT_EQ(joined.exitCode, 2);
    EXPECT_TRUE(joined.err.starts_with("vornak-cli: bad port number '0'")) << joined.err;
}
