// vornak-cli station run from a release bundle against the simulator: the
// records carry the bundle, a box of another family gets nothing, an older
// release is refused unless allowed (and then marked), and trusted keys
// shut out plain recipes and other signers.

#include <nlohmann/json.hpp>
#include <regex>

#include "cli_fixture.h"
#include "link/command_codes.h"
#include "station/config/digest.h"
#include "station/release/release_bundle.h"

namespace {

namespace fs = std::filesystem;

// The box already reports this version, so no unit waits out the update.
const std::string kRecipe =
    "name = \"Door module\"\nvariant = \"V-A1\"\n"
    "[firmware]\npackage = \"fw.pkg\"\nversion = \"" +
    std::string(kBoxVersion) +
    "\"\n[settings]\nactivePke = true\n"
    "[[download]]\nfile = \"app.bin\"\nslot = 2\n";

class CliReleaseStationTest : public CliTest {
protected:
    void SetUp() override {
        CliTest::SetUp();
        fs::create_directories(InWork("line"));
        WriteFile(InWork("line/fw.pkg"), MakeSamplePackage(kBoxVersion, 300));
        WriteFile(InWork("line/app.bin"), Bytes(400, 0x42));
        WriteText(InWork("line/line.toml"), kRecipe);
        const CliResult k = Cli({"release", "keygen", "k"});
        ASSERT_EQ(k.exitCode, 0);
        m_keyId = k.out.substr(k.out.find(": ") + 2, 16);
        ASSERT_EQ(Cli({"release", "keygen", "other"}).exitCode, 0);
        fs::create_directories(InWork("trust"));
        fs::copy_file(InWork("k.pub"), InWork("trust/k.pub"));
    }

    void Bundle(const std::string& out, const std::string& release,
                const std::string& family = "VBX-100 ", const std::string& key = "k") {
        const CliResult r = Cli({"release", "create", "line/line.toml", "--key", key, "--release",
                                 release, "--family", family, "--family", "XYZ ", "-o", out});
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }

    CliResult Station(const std::string& file, std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {
            "station", file, "--once", "--port", std::to_string(kBoxPort), "--db", "records.db"};
        args.insert(args.end(), extra.begin(), extra.end());
        return Cli(args);
    }

    nlohmann::json Newest() {
        const CliResult list = Cli({"records", "list"});
        const std::string id = list.out.substr(0, list.out.find('\n'));
        std::smatch m;
        const std::regex field("^[^\t]*\t[^\t]*\t[^\t]*\t[^\t]*\t[^\t]*\t([^\t]*)");
        EXPECT_TRUE(std::regex_search(id, m, field)) << list.out;
        return nlohmann::json::parse(Cli({"records", "show", m[1].str()}).out);
    }

    std::string BundleId(const std::string& bundle) {
        const CliResult r = Cli({"release", "verify", bundle});
        const std::size_t at = r.out.find("id: ");
        return r.out.substr(at + 4, 64);
    }

    std::string m_keyId;
};

TEST_F(CliReleaseStationTest, UnitFromABundleCarriesItInTheRecord) {
    Bundle("r3.vbundle", "3");
    const CliResult r = Station("r3.vbundle", {"--trust", "trust"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(r.out.starts_with("PASS " + std::string(kBoxSerialHex) + " V-A1 ")) << r.out;
    EXPECT_TRUE(m_box.Slot(2).sha1Matches);

    const nlohmann::json record = Newest();
    EXPECT_EQ(record["bundle_id"], BundleId("r3.vbundle"));
    EXPECT_EQ(record["release_number"], 3);
    EXPECT_EQ(record["signer_key_id"], m_keyId);
    EXPECT_EQ(record["rollback"], false);
    EXPECT_EQ(record["recipe_sha256"], Sha256Hex(kRecipe));

    const std::string filtered =
        Cli({"records", "list", "--bundle", BundleId("r3.vbundle"), "--release", "3"}).out;
    EXPECT_EQ(std::count(filtered.begin(), filtered.end(), '\n'), 1) << filtered;
    EXPECT_EQ(Cli({"records", "list", "--release", "4"}).out, "");
}

TEST_F(CliReleaseStationTest, BoxOfAnotherFamilyGetsNothing) {
    Bundle("other.vbundle", "1", "VBX-200 ");
    m_box.ClearRequests();
    const CliResult r = Station("other.vbundle");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "FAIL " + std::string(kBoxSerialHex) + " identify INCOMPATIBLE_BOX\n");
    for (const SimRequest& request : m_box.Requests()) {
        EXPECT_TRUE(request.command == CMD_GET_VERSION || request.command == CMD_GET_SERIAL)
            << std::hex << request.command;
    }
    EXPECT_EQ(Newest()["reason_code"], "INCOMPATIBLE_BOX");
}

TEST_F(CliReleaseStationTest, OlderReleaseIsRefusedUnlessAllowedAndThenMarked) {
    Bundle("r10.vbundle", "10");
    ASSERT_EQ(Station("r10.vbundle").exitCode, 0);
    Bundle("r9.vbundle", "9");
    m_box.ClearRequests();
    const CliResult refused = Station("r9.vbundle");
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(refused.err.find("release 9 of V-A1 is older than release 10"), std::string::npos)
        << refused.err;
    EXPECT_EQ(m_box.RequestCount(), 0u);

    m_box.SetSerial({0x12, 0x34, 0xAB, 0x00, 0x5E, 0x02});
    const CliResult allowed = Station("r9.vbundle", {"--allow-rollback"});
    EXPECT_EQ(allowed.exitCode, 0) << allowed.err;
    const nlohmann::json record = Newest();
    EXPECT_EQ(record["release_number"], 9);
    EXPECT_EQ(record["rollback"], true);
    // The same release again is no rollback.
    EXPECT_EQ(Station("r10.vbundle", {"--rework"}).exitCode, 0);
}

// A bundle that fails a check stops the station before any box is touched:
// exit 2, the file and the reason on stderr, nothing left unpacked.
TEST_F(CliReleaseStationTest, BrokenBundleTouchesNoBox) {
    Bundle("good.vbundle", "2");
    const std::string good = ReadText(InWork("good.vbundle"));
    const std::vector<std::uint8_t> package = MakeSamplePackage(kBoxVersion, 300);
    const std::string sample(package.begin() + 100, package.begin() + 140);
    std::string tampered = good;
    const std::size_t at = tampered.find(sample);
    ASSERT_NE(at, std::string::npos);
    tampered[at + 5] ^= 0x01;
    WriteText(InWork("tampered.vbundle"), tampered);
    // Cut inside the data of its first members, not only the zero padding.
    WriteText(InWork("truncated.vbundle"), good.substr(0, 1300));
    // Made with the library, whose clock may lie in the past.
    BundleRequest request;
    request.recipePath = InWork("line/line.toml");
    request.keyPath = InWork("k");
    request.release = 2;
    request.families = {"VBX-100 "};
    request.expires = "2026-01-31";
    request.output = InWork("expired.vbundle");
    request.now = std::chrono::sys_days{std::chrono::year(2026) / 1 / 1};
    ReleaseManifest manifest;
    std::string error;
    ASSERT_TRUE(CreateBundle(request, manifest, error)) << error;

    const std::string tmp = InWork("tmp");
    fs::create_directories(tmp);
    struct Case {
        std::string file;
        std::string reason;
    };
    const Case cases[] = {
        {"tampered.vbundle", "tampered.vbundle: files/fw.pkg: its SHA-256 differs"},
        {"truncated.vbundle", "truncated.vbundle: manifest.json: damaged or truncated"},
        {"expired.vbundle", "expired.vbundle: expired on 2026-01-31"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        m_box.ClearRequests();
        CliRun run = Options();
        run.env.push_back("TMPDIR=" + tmp);
        const CliResult r = Cli({"station", c.file, "--once", "--port", std::to_string(kBoxPort),
                                 "--db", "records.db", "--trust", "trust"},
                                run);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
        EXPECT_EQ(m_box.RequestCount(), 0u);
        EXPECT_TRUE(fs::is_empty(tmp));
    }
}

TEST_F(CliReleaseStationTest, TrustedKeysShutOutPlainRecipesAndOtherSigners) {
    Bundle("theirs.vbundle", "1", "VBX-100 ", "other");
    struct Case {
        std::string file;
        std::string reason;
    };
    const Case cases[] = {
        {"line/line.toml", "line/line.toml: a plain recipe; while trust holds trusted keys"},
        {"theirs.vbundle", "theirs.vbundle: manifest.sig: signed by key"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        m_box.ClearRequests();
        const CliResult r = Station(c.file, {"--trust", "trust"});
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
        EXPECT_EQ(m_box.RequestCount(), 0u);
    }
    // A trust folder named but missing is an error; without trusted keys the
    // plain recipe runs as before.
    EXPECT_EQ(Station("line/line.toml", {"--trust", "missing"}).exitCode, 2);
    EXPECT_EQ(Station("line/line.toml").exitCode, 0);
}

}  // namespace
