// vornak-cli release: keygen, create, verify and list as processes, and each
// refusal with exit 2, the file and the reason, and nothing left in TMPDIR.

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <regex>

#include "cli_fixture.h"
#include "station/config/digest.h"

namespace {

namespace fs = std::filesystem;

const std::string kRecipe =
    "name = \"Door module\"\nvariant = \"V-A1\"\n"
    "[firmware]\npackage = \"fw/fw.pkg\"\nversion = \"VBX-100 V2.4.0\"\n"
    "[[download]]\nfile = \"app.bin\"\nslot = 2\n";

// A date a year ahead (UTC), for --expires.
std::string NextYear() {
    const auto day = std::chrono::floor<std::chrono::days>(std::chrono::system_clock::now());
    const std::chrono::year_month_day date{day + std::chrono::days(366)};
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
    return text;
}

class CliReleaseTest : public CliTest {
protected:
    void SetUp() override {
        CliTest::SetUp();
        fs::create_directories(InWork("fw"));
        fs::create_directories(m_tmp);
        m_package = MakeSamplePackage("VBX-100 V2.4.0", 3000);
        WriteFile(InWork("fw/fw.pkg"), m_package);
        WriteFile(InWork("app.bin"), Bytes(400, 0x42));
        WriteText(InWork("line.toml"), kRecipe);
    }

    // Every run unpacks into a TMPDIR of the test's own.
    CliResult Release(std::vector<std::string> args) {
        CliRun run = Options();
        run.env.push_back("TMPDIR=" + m_tmp);
        args.insert(args.begin(), "release");
        return Cli(args, run);
    }

    // keygen k, other; create line.vbundle; trust/ holds k.pub, others/ other.pub.
    void MakeBundle() {
        ASSERT_EQ(Release({"keygen", "k"}).exitCode, 0);
        ASSERT_EQ(Release({"keygen", "other"}).exitCode, 0);
        for (const auto& [dir, key] : {std::pair{"trust", "k.pub"}, {"others", "other.pub"}}) {
            fs::create_directories(InWork(dir));
            fs::copy_file(InWork(key), InWork(std::string(dir) + "/" + key));
        }
        fs::create_directories(InWork("empty"));
        const CliResult r = Release({"create", "line.toml", "--key", "k", "--release", "3",
                                     "--family", "VBX-100 ", "-o", "line.vbundle"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }

    std::string m_tmp = m_root / "tmp";
    Bytes m_package;
};

TEST_F(CliReleaseTest, KeygenCreateVerifyList) {
    const CliResult key = Release({"keygen", "k"});
    ASSERT_EQ(key.exitCode, 0) << key.err;
    std::smatch id;
    ASSERT_TRUE(std::regex_match(key.out, id, std::regex("key_id: ([0-9a-f]{16})\n"))) << key.out;
    struct stat st {};
    ASSERT_EQ(stat(InWork("k").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_NE(ReadText(InWork("k.pub")).find("BEGIN PUBLIC KEY"), std::string::npos);

    const std::string expires = NextYear();
    const CliResult create = Release({"create", "line.toml", "--key", "k", "--release", "7",
                                      "--family", "VBX-100 ", "--family", "VBX-200 ", "--expires",
                                      expires, "--note", "door fix", "-o", "line.vbundle"});
    ASSERT_EQ(create.exitCode, 0) << create.err;
    EXPECT_EQ(create.out, "bundle: line.vbundle\nkey_id: " + id[1].str() + "\n");

    const CliResult verify = Release({"verify", "line.vbundle"});
    ASSERT_EQ(verify.exitCode, 0) << verify.err;
    for (const std::string& field :
         {std::string("\"release\": 7"), std::string("\"variant\": \"V-A1\""),
          std::string("\"VBX-200 \""), "\"expires\": \"" + expires + "\"",
          std::string("\"note\": \"door fix\""), "key_id: " + id[1].str() + "\n"}) {
        EXPECT_NE(verify.out.find(field), std::string::npos) << field << "\n" << verify.out;
    }
    fs::create_directories(InWork("trust"));
    fs::copy_file(InWork("k.pub"), InWork("trust/plant.pub"));
    const CliResult trusted = Release({"verify", "line.vbundle", "--trust", "trust"});
    EXPECT_EQ(trusted.exitCode, 0) << trusted.err;
    EXPECT_TRUE(trusted.out.ends_with("trusted: trust/plant.pub\n")) << trusted.out;

    const CliResult list = Release({"list", "line.vbundle"});
    ASSERT_EQ(list.exitCode, 0) << list.err;
    EXPECT_EQ(list.out, Lines({Sha256Hex(kRecipe) + "\t" + std::to_string(kRecipe.size()) +
                                   "\tfiles/line.toml",
                               Sha256Hex(m_package.data(), m_package.size()) + "\t" +
                                   std::to_string(m_package.size()) + "\tfiles/fw/fw.pkg",
                               Sha256Hex(std::string(400, 0x42)) + "\t400\tfiles/app.bin"}));
    EXPECT_TRUE(fs::is_empty(m_tmp));
}

TEST_F(CliReleaseTest, RefusalsExitTwoNamingFileAndReason) {
    MakeBundle();
    // One byte of the package changed inside the bundle.
    std::string bytes = ReadText(InWork("line.vbundle"));
    const std::string sample(m_package.begin() + 100, m_package.begin() + 140);
    const std::size_t at = bytes.find(sample);
    ASSERT_NE(at, std::string::npos);
    bytes[at + 5] ^= 0x01;
    WriteText(InWork("tampered.vbundle"), bytes);
    WriteText(InWork("bad.toml"), "name = \"x\"\nvariant = \"V\"\n[settings]\nnoSuch = 1\n");
    const std::string keyBefore = ReadText(InWork("k"));

    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> named;  // in stderr
    };
    const Case cases[] = {
        {{"verify", "tampered.vbundle"},
         {"tampered.vbundle: files/fw/fw.pkg: its SHA-256 differs"}},
        {{"list", "tampered.vbundle"}, {"tampered.vbundle: files/fw/fw.pkg"}},
        {{"verify", "line.vbundle", "--trust", "others"},
         {"line.vbundle: manifest.sig: signed by key", "not a trusted key"}},
        {{"verify", "line.vbundle", "--trust", "empty"}, {"not a trusted key (0 trusted)"}},
        {{"verify", "line.vbundle", "--trust", "nowhere"}, {"nowhere: cannot read"}},
        {{"verify", "line.toml"}, {"line.toml: not a tar archive"}},
        {{"keygen", "k"}, {"k: already exists"}},
        {{"create", "bad.toml", "--key", "k", "--release", "1", "--family", "VBX-100 ", "-o",
          "bad.vbundle"},
         {"bad.toml:4: settings.noSuch: unknown option"}},
        {{"create", "line.toml", "--key", "k.pub", "--release", "1", "--family", "VBX-100 ", "-o",
          "x.vbundle"},
         {"k.pub: not an Ed25519 private key"}},
        {{"create", "line.toml", "--key", "k", "--release", "1", "--family", "VBX-100 ",
          "--expires", "2020-01-01", "-o", "x.vbundle"},
         {"2020-01-01 is already past"}},
        {{"create", "line.toml", "--key", "k", "--release", "0", "--family", "VBX-100 ", "-o",
          "x.vbundle"},
         {"bad release number '0'"}},
        {{"create", "line.toml", "--release", "1", "--family", "VBX-100 ", "-o", "x.vbundle"},
         {"release create needs --key"}},
        {{"verify", "line.vbundle", "--family", "x"}, {"release verify takes no --family"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        const CliResult r = Release(c.args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.out, "");
        for (const std::string& text : c.named) {
            EXPECT_NE(r.err.find(text), std::string::npos) << r.err;
        }
        EXPECT_TRUE(fs::is_empty(m_tmp));
    }
    EXPECT_FALSE(fs::exists(InWork("bad.vbundle")));
    EXPECT_FALSE(fs::exists(InWork("x.vbundle")));
    EXPECT_EQ(ReadText(InWork("k")), keyBefore);
}

}  // namespace
