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
