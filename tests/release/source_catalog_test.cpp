// The barcode switch's lookup among recipes and release bundles: a bundle
// counts only once it is checked whole, and one that fails is named with its
// reason and never picked.

#include "station/release/source_catalog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "boxsim/box_simulator.h"
#include "station/release/release_key.h"
#include "tests/release/tar_members.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_files.h"

namespace {

namespace fs = std::filesystem;
using std::chrono::sys_days;
using namespace std::chrono_literals;

// Where a truncated bundle ends: inside the data of its first members.
constexpr std::uintmax_t kCutAt = 1300;

const auto kToday = sys_days{std::chrono::year(2026) / 12 / 10} + 9h;

std::string RecipeText(const std::string& variant) {
    return "name = \"Door\"\nvariant = \"" + variant +
           "\"\n[firmware]\npackage = \"fw.pkg\"\nversion = \"VBX-100 V2.4.0\"\n";
}

class SourceCatalogTest : public ::testing::Test {
public:
    void SetUp() override {
        fs::create_directories(m_dir / "eng");
        fs::create_directories(m_dir / "line");
        fs::create_directories(m_dir / "trust");
        WriteBytesFile(m_dir / "eng/fw.pkg", MakeSamplePackage("VBX-100 V2.4.0", 300));
        std::string keyId;
        std::string error;
        ASSERT_TRUE(GenerateKeyFiles(m_dir / "k", keyId, error)) << error;
        ASSERT_TRUE(GenerateKeyFiles(m_dir / "other", keyId, error)) << error;
        // A plain recipe beside the bundles, and a slots file, which is none.
        WriteTextFile(m_dir / "line/plain.toml", RecipeText("P-1"));
        WriteBytesFile(m_dir / "line/fw.pkg", MakeSamplePackage("VBX-100 V2.4.0", 300));
        WriteTextFile(m_dir / "line/slots.toml", "[[slot]]\nname = \"A\"\nport = \"COM3\"\n");
    }

    // A bundle of `variant` in the line's folder, signed with key file `key`.
    std::string Bundle(const std::string& variant, const std::string& key = "k",
                       const std::string& expires = "") {
        WriteTextFile(m_dir / "eng/r.toml", RecipeText(variant));
        BundleRequest request;
        request.recipePath = m_dir / "eng/r.toml";
        request.keyPath = m_dir / key;
        request.release = 4;
        request.families = {"VBX-100 "};
        request.expires = expires;
        request.output = m_dir / ("line/" + variant + ".vbundle");
        request.now = kToday - 24h;
        ReleaseManifest manifest;
        std::string error;
        EXPECT_TRUE(CreateBundle(request, manifest, error)) << error;
        return request.output;
    }

    bool Find(const std::string& variant, StationSource& source, std::string& error,
              std::chrono::system_clock::time_point now = kToday) {
        return FindSourceByVariant(m_dir / "line", variant, m_trust, now, source, error);
    }

    CTempDir m_dir{"catalog"};
    StationTrust m_trust{m_dir / "missing-trust", false};
};

TEST_F(SourceCatalogTest, PicksABundleOrARecipeByVariant) {
    Bundle("DM-1");
    StationSource source;
    std::string error;
    ASSERT_TRUE(Find(" DM-1\r\n", source, error)) << error;
    ASSERT_TRUE(source.release);
    EXPECT_EQ(source.release->number, 4);
    EXPECT_EQ(source.recipe.variant, "DM-1");
    // The bundle's files stay unpacked while the source lives.
    ASSERT_TRUE(source.recipe.firmware);
    EXPECT_TRUE(fs::exists(source.recipe.firmware->package));

    // Without trusted keys a plain recipe takes part too.
    ASSERT_TRUE(Find("P-1", source, error)) << error;
    EXPECT_FALSE(source.release);
    EXPECT_FALSE(source.bundle);
    EXPECT_EQ(source.recipe.path, m_dir / "line/plain.toml");

    // With them, only bundles signed by one of them do.
    fs::copy_file(m_dir / "k.pub", m_dir / "trust/k.pub");
    m_trust = {m_dir / "trust", true};
    EXPECT_FALSE(Find("P-1", source, error));
    EXPECT_NE(error.find("未知型号: P-1"), std::string::npos) << error;
    EXPECT_TRUE(Find("DM-1", source, error)) << error;
}

// A bundle that fails any check is named with the reason, like a recipe that
// does not load, and the source is left as it was.
TEST_F(SourceCatalogTest, BrokenOrUntrustedBundlesAreNamedAndNeverPicked) {
    struct Case {
        const char* what;
        std::function<std::string(SourceCatalogTest&)> make;  // the bad bundle's path
        const char* reason;
    };
    const Case cases[] = {
        {"a byte of the package changed",
         [](SourceCatalogTest& t) {
             const std::string path = t.Bundle("BAD-1");
             std::vector<TarMember> members = ReadTarMembers(path);
             for (TarMember& m : members) {
                 if (m.name == "files/fw.pkg")
                     m.bytes[40] ^= 1;
             }
             WriteTarMembers(path, members);
             return path;
         },
         "SHA-256 differs"},
        {"truncated",
         [](SourceCatalogTest& t) {
             const std::string path = t.Bundle("BAD-1");
             // Inside the members, not only the archive's zero padding.
             fs::resize_file(path, kCutAt);
             return path;
         },
         "truncated"},
        {"signed by a key the station does not trust",
         [](SourceCatalogTest& t) { return t.Bundle("BAD-1", "other"); }, "not a trusted key"},
        {"expired", [](SourceCatalogTest& t) { return t.Bundle("BAD-1", "k", "2026-12-09"); },
         "expired on 2026-12-09"},
    };
    fs::copy_file(m_dir / "k.pub", m_dir / "trust/k.pub");
    m_trust = {m_dir / "trust", true};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string bad = c.make(*this);
        StationSource source;
        source.recipe.variant = "before";
        std::string error;
        EXPECT_FALSE(Find("BAD-1", source, error));
        EXPECT_NE(error.find("未知型号: BAD-1"), std::string::npos) << error;
        EXPECT_NE(error.find(bad), std::string::npos) << error;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
        EXPECT_EQ(source.recipe.variant, "before");
        EXPECT_FALSE(source.release);
        fs::remove(bad);
    }
}

}  // namespace
