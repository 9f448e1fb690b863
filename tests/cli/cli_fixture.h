#pragma once
// vornak-cli against the box simulator: each test gets a port directory with
// a box as COM3, a fresh working directory for the tool, and runs the tool as
// a child process with VORNAK_PORT_DIR set and a UTF-8 locale.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "boxsim/box_simulator.h"
#include "cli_process.h"
#include "tests/support/temp_dir.h"

using Bytes = std::vector<std::uint8_t>;

inline const char kBoxVersion[] = "VBX-100 V2.3.1";
inline const Bytes kBoxSerial = {0x12, 0x34, 0xAB, 0x00, 0x5E, 0x01};
inline const char kBoxSerialHex[] = "1234AB005E01";
constexpr int kBoxPort = 3;
// A refusal of the box's own, as a failing step shows it.
constexpr std::uint16_t kRefusal = 0x1234;
inline const char kRefusalText[] = "错误:1234";

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directory(PortDir());
        std::filesystem::create_directory(WorkDir());
        ASSERT_TRUE(m_box.Start(PortDir(), kBoxPort));
        m_box.SetVersion(kBoxVersion);
        m_box.SetSerial(kBoxSerial);
    }

    void TearDown() override { m_box.Stop(); }

    std::string PortDir() const { return m_root / "ports"; }
    std::string WorkDir() const { return m_root / "work"; }
    std::string InWork(const std::string& name) const { return WorkDir() + "/" + name; }

    CliResult Cli(const std::vector<std::string>& args) { return Cli(args, Options()); }
    CliResult Cli(const std::vector<std::string>& args, const CliRun& run) {
        return RunProcess(VORNAK_CLI_PATH, args, run);
    }

    // The run every test starts from; tests change what they need.
    CliRun Options() const {
        CliRun run;
        run.workDir = WorkDir();
        run.env = {"VORNAK_PORT_DIR=" + PortDir(), "LC_ALL=C.UTF-8"};
        // Sanitizer builds: the child reports as the test process does.
        for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "TSAN_OPTIONS"}) {
            if (const char* value = getenv(name))
                run.env.push_back(std::string(name) + "=" + value);
        }
        return run;
    }

    static std::string Lines(const std::vector<std::string>& lines) {
        std::string text;
        for (const std::string& line : lines)
            text += line + "\n";
        return text;
    }

    static void WriteFile(const std::string& path, const Bytes& bytes) {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    static void WriteText(const std::string& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    static std::string ReadText(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    CTempDir m_root{"cli"};
    CBoxSimulator m_box;
};
