// Release bundles through the library: a key pair, a bundle made from a
// recipe and opened again, and every kind of bad bundle refused with the
// file and the reason, leaving nothing on disk.

#include "station/release/release_bundle.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <set>

#include "boxsim/box_simulator.h"
#include "station/config/digest.h"
#include "station/release/release_key.h"
#include "tests/release/tar_members.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_files.h"

namespace {

namespace fs = std::filesystem;
using std::chrono::sys_days;
using namespace std::chrono_literals;

constexpr char kRecipeText[] =
    "name = \"Door\"\nvariant = \"DM-1\"\n"
    "[firmware]\npackage = \"fw/vbx.pkg\"\nversion = \"VBX-100 V2.4.0\"\n"
    "[[download]]\nfile = \"app/a.bin\"\nslot = 1\n";

const auto kCreated = sys_days{std::chrono::year(2026) / 12 / 10} + 9h;

// Bytes appended to a file, as a careless copy or a tampering hand leaves them.
void AppendToFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::app) << bytes;
}

std::string NoiseBytes(std::size_t count) {
    std::string bytes(count, '\0');
    std::uint32_t x = 12345;
    for (char& c : bytes) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 16);
    }
    return bytes;
}

// Every path below `root`, with its size for files.
std::set<std::string> Listing(const std::string& root) {
    std::set<std::string> paths;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        paths.insert(entry.path().string() +
                     (entry.is_regular_file() ? " " + std::to_string(entry.file_size()) : ""));
    }
    return paths;
}

class ReleaseBundleTest : public ::testing::Test {
public:
    void SetUp() override {
        fs::create_directories(m_dir / "line/fw");
        fs::create_directories(m_dir / "line/app");
        fs::create_directories(m_dir / "tmp");
        WriteTextFile(m_dir / "line/l.toml", kRecipeText);
        WriteBytesFile(m_dir / "line/fw/vbx.pkg", MakeSamplePackage("VBX-100 V2.4.0", 300));
        WriteBytesFile(m_dir / "line/app/a.bin", std::vector<std::uint8_t>(600, 0x5A));
        std::string keyId;
        std::string error;
        ASSERT_TRUE(GenerateKeyFiles(m_dir / "k", keyId, error)) << error;
        ASSERT_TRUE(GenerateKeyFiles(m_dir / "other", keyId, error)) << error;
        ASSERT_TRUE(LoadTrustedKeys(m_dir.Path(), m_trusted, error)) << error;
        m_trusted.erase(m_trusted.begin() + 1);  // k.pub only, not other.pub
        ASSERT_TRUE(Create(m_bundle, error)) << error;
        // Whatever a bundle's reading leaves, it leaves here.
        const char* old = std::getenv("TMPDIR");
        m_oldTmp = old ? std::optional<std::string>(old) : std::nullopt;
        setenv("TMPDIR", (m_dir / "tmp").c_str(), 1);
    }

    void TearDown() override {
        if (m_oldTmp)
            setenv("TMPDIR", m_oldTmp->c_str(), 1);
        else
            unsetenv("TMPDIR");
    }

    bool Create(const std::string& output, std::string& error, const std::string& expires = "") {
        BundleRequest request;
        request.recipePath = m_dir / "line/l.toml";
        request.keyPath = m_dir / "k";
        request.release = 3;
        request.families = {"VBX-100 "};
        request.expires = expires;
        request.note = "first release";
        request.engineer = "eng@host";
        request.output = output;
        request.now = kCreated;
        ReleaseManifest manifest;
        return CreateBundle(request, manifest, error);
    }

    BundleChecks Checks() const { return BundleChecks{&m_trusted, kCreated}; }

    std::vector<TarMember> Members() const { return ReadTarMembers(m_bundle); }

    // Signs `members`' manifest anew with the key file `key`, after `edit`.
    void Resign(std::vector<TarMember>& members, const std::string& key,
                const std::function<void(ReleaseManifest&)>& edit) const {
        std::string error;
        ReleaseManifest manifest;
        ASSERT_TRUE(ManifestFromText(members[0].bytes, manifest, error)) << error;
        const EvpKeyPtr privateKey = LoadPrivateKey(m_dir / key, error);
        ASSERT_TRUE(privateKey) << error;
        manifest.keyId = KeyIdOf(privateKey.get());
        const std::vector<std::uint8_t> raw = RawPublicKey(privateKey.get());
        manifest.publicKey.clear();
        for (const std::uint8_t b : raw) {
            static constexpr char kHex[] = "0123456789abcdef";
            manifest.publicKey += {kHex[b >> 4], kHex[b & 0x0F]};
        }
        edit(manifest);
        ASSERT_TRUE(ManifestToText(manifest, members[0].bytes, error)) << error;
        const std::vector<std::uint8_t> sig = SignBytes(privateKey.get(), members[0].bytes);
        members[1].bytes.assign(sig.begin(), sig.end());
    }

    TarMember& Member(std::vector<TarMember>& members, const std::string& name) const {
        for (TarMember& m : members) {
            if (m.name == name)
                return m;
        }
        throw std::runtime_error("no member " + name);
    }

    CTempDir m_dir{"release"};
    std::string m_bundle = m_dir / "good.vbundle";
    std::vector<TrustedKey> m_trusted;
    std::optional<std::string> m_oldTmp;
};

TEST_F(ReleaseBundleTest, KeyFilesArePrivateAndNeverOverwritten) {
    struct stat st {};
    ASSERT_EQ(stat((m_dir / "k").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(m_trusted.front().keyId.size(), 16u);

    std::string keyId;
    std::string error;
    const auto sizeBefore = fs::file_size(m_dir / "k");
    EXPECT_FALSE(GenerateKeyFiles(m_dir / "k", keyId, error));
    EXPECT_NE(error.find(m_dir / "k"), std::string::npos) << error;
    EXPECT_EQ(fs::file_size(m_dir / "k"), sizeBefore);
    // Only the .pub there: still refused, and no private key made beside it.
    WriteTextFile(m_dir / "lone.pub", "x");
    EXPECT_FALSE(GenerateKeyFiles(m_dir / "lone", keyId, error));
    EXPECT_FALSE(fs::exists(m_dir / "lone"));
}

TEST_F(ReleaseBundleTest, BundleOpensWithItsRecipeAndFilesAndLeavesNothing) {
    std::string error;
    std::string folder;
    {
        const auto bundle = OpenBundle(m_bundle, Checks(), error);
        ASSERT_TRUE(bundle) << error;
        const ReleaseManifest& m = bundle->Manifest();
        EXPECT_EQ(m.variant, "DM-1");
        EXPECT_EQ(m.release, 3);
        EXPECT_EQ(m.families, std::vector<std::string>{"VBX-100 "});
        EXPECT_EQ(m.keyId, m_trusted.front().keyId);
        EXPECT_EQ(m.created, "2026-12-10T09:00:00.000Z");
        EXPECT_EQ(bundle->Id(), Sha256Hex(bundle->ManifestText()));
        EXPECT_EQ(bundle->TrustedKeyPath(), m_dir / "k.pub");

        const Recipe& r = bundle->GetRecipe();
        EXPECT_EQ(r.variant, "DM-1");
        EXPECT_EQ(r.sha256, Sha256Hex(std::string(kRecipeText)));
        ASSERT_TRUE(r.firmware);
        ASSERT_EQ(r.downloads.size(), 1u);
        // The recipe's files are the bundle's, unpacked, readable while it lives.
        EXPECT_EQ(FileSha256(r.firmware->package), FileSha256(m_dir / "line/fw/vbx.pkg"));
        EXPECT_EQ(FileSha256(r.downloads[0].file), FileSha256(m_dir / "line/app/a.bin"));
        folder = fs::path(r.path).parent_path().parent_path();
        EXPECT_EQ(fs::path(folder).parent_path(), m_dir / "tmp");
    }
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_TRUE(fs::is_empty(m_dir / "tmp"));
}

TEST_F(ReleaseBundleTest, ZeroPaddingAfterTheArchiveIsStillABundle) {
    // Tar tools pad an archive to their record size with zero blocks.
    AppendToFile(m_bundle, std::string(20 * 512, '\0'));
    std::string error;
    EXPECT_TRUE(OpenBundle(m_bundle, Checks(), error)) << error;
}

TEST_F(ReleaseBundleTest, ExpiryHoldsThroughItsDay) {
    std::string error;
    const std::string bundle = m_dir / "expiring.vbundle";
    ASSERT_TRUE(Create(bundle, error, "2027-01-31")) << error;
    const auto lastDay = sys_days{std::chrono::year(2027) / 1 / 31} + 23h;
    EXPECT_TRUE(OpenBundle(bundle, BundleChecks{&m_trusted, lastDay}, error)) << error;
    // Without a clock (listing), an expired bundle still reads.
    EXPECT_TRUE(OpenBundle(bundle, BundleChecks{}, error)) << error;
    EXPECT_FALSE(OpenBundle(bundle, BundleChecks{&m_trusted, lastDay + 1h}, error));
    EXPECT_EQ(error, bundle + ": expired on 2027-01-31 (today is 2027-02-01, UTC)");
}

TEST_F(ReleaseBundleTest, RecipeMustKeepItsFilesInItsFolder) {
    WriteTextFile(m_dir / "line/out.toml",
                  "name = \"Door\"\nvariant = \"DM-1\"\n[[download]]\nfile = \"../k.pub\"\nslot = "
                  "1\n");
    BundleRequest request;
    request.recipePath = m_dir / "line/out.toml";
    request.keyPath = m_dir / "k";
    request.release = 1;
    request.families = {"VBX-100 "};
    request.output = m_dir / "out.vbundle";
    ReleaseManifest manifest;
    std::string error;
    EXPECT_FALSE(CreateBundle(request, manifest, error));
    EXPECT_NE(error.find("outside the recipe's folder"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(request.output));

    // A recipe that fails its own checks makes no bundle either.
    request.recipePath = m_dir / "line/fw/vbx.pkg";
    EXPECT_FALSE(CreateBundle(request, manifest, error));
    EXPECT_EQ(error.rfind(request.recipePath, 0), 0u) << error;
}

struct RefusalCase {
    const char* what;
    // Changes the good bundle's members; may return bytes to write instead.
    std::function<void(ReleaseBundleTest&, std::vector<TarMember>&)> edit;
    const char* member;  // named in the message (empty: the bundle only)
    const char* reason;
    enum { Plain, Untrusted, Truncated, AppendedBytes, AppendedTar } how;
};

// How a case is read: as it is, against the key "other" alone, or cut after
// this share of its bytes.
constexpr double kTruncatedShare = 0.6;

class ReleaseRefusalTest : public ReleaseBundleTest {
public:
    void Run(const RefusalCase& c) {
        SCOPED_TRACE(c.what);
        std::vector<TarMember> members = Members();
        if (c.edit)
            c.edit(*this, members);
        const std::string evil = m_dir / "evil.vbundle";
        WriteTarMembers(evil, members);
        if (c.how == RefusalCase::Truncated)
            fs::resize_file(evil,
                            static_cast<std::uintmax_t>(fs::file_size(evil) * kTruncatedShare));
        if (c.how == RefusalCase::AppendedBytes)
            AppendToFile(evil, NoiseBytes(3000));
        if (c.how == RefusalCase::AppendedTar) {
            // A second archive holding a file the manifest does not name.
            const std::string second = m_dir / "second.tar";
            TarMember extra;
            extra.name = "files/app/a.bin";
            extra.bytes = "evil";
            WriteTarMembers(second, {extra});
            std::ifstream in(second, std::ios::binary);
            AppendToFile(evil, std::string(std::istreambuf_iterator<char>(in), {}));
            fs::remove(second);
        }
        const std::set<std::string> before = Listing(m_dir.Path());

        std::vector<TrustedKey> others;
        std::string error;
        if (c.how == RefusalCase::Untrusted) {
            ASSERT_TRUE(LoadTrustedKeys(m_dir.Path(), others, error));
            others.erase(others.begin());  // other.pub only
        }
        BundleChecks checks = Checks();
        if (c.how == RefusalCase::Untrusted)
            checks.trusted = &others;
        EXPECT_FALSE(OpenBundle(evil, checks, error));
        const std::string named = evil + ": " + c.member;
        EXPECT_EQ(error.rfind(named, 0), 0u) << error;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
        EXPECT_EQ(Listing(m_dir.Path()), before);
        EXPECT_TRUE(fs::is_empty(m_dir / "tmp"));
    }
};

void Append(std::vector<TarMember>& members, const std::string& name, unsigned type = AE_IFREG,
            const std::string& link = "", bool hardLink = false,
            std::optional<std::int64_t> claimedSize = std::nullopt) {
    members.push_back(TarMember{name, "x", type, link, hardLink, claimedSize});
    if (type != AE_IFREG || hardLink || claimedSize)
        members.back().bytes.clear();
}

TEST_F(ReleaseRefusalTest, EachBadBundleIsRefusedNamingFileAndReason) {
    using T = ReleaseBundleTest;
    using M = std::vector<TarMember>;
    const std::string outside = m_dir / "escaped";
    const RefusalCase cases[] = {
        {"one byte of the package changed",
         [](T& t, M& m) { t.Member(m, "files/fw/vbx.pkg").bytes[100] ^= 1; }, "files/fw/vbx.pkg",
         "SHA-256 differs", RefusalCase::Plain},
        {"the manifest edited after signing",
         [](T& t, M& m) {
             std::string& text = t.Member(m, "manifest.json").bytes;
             text.replace(text.find("\"release\": 3"), 12, "\"release\": 9");
         },
         "manifest.sig", "does not hold", RefusalCase::Plain},
        {"signed whole by a key the station does not trust",
         [](T& t, M& m) { t.Resign(m, "other", [](ReleaseManifest&) {}); }, "manifest.sig",
         "not a trusted key", RefusalCase::Plain},
        {"signed by our key, checked against another", nullptr, "manifest.sig", "not a trusted key",
         RefusalCase::Untrusted},
        {"truncated in the middle", nullptr, "", "truncated", RefusalCase::Truncated},
        {"random bytes after the archive's end", nullptr, "", "after the archive's end",
         RefusalCase::AppendedBytes},
        {"a second archive after the first", nullptr, "", "after the archive's end",
         RefusalCase::AppendedTar},
        {"a member outside the archive", [](T&, M& m) { Append(m, "../../escaped"); },
         "../../escaped", "'..' part", RefusalCase::Plain},
        {"an absolute member", [outside](T&, M& m) { Append(m, outside); }, outside.c_str(),
         "absolute path", RefusalCase::Plain},
        {"a symbolic link", [](T&, M& m) { Append(m, "files/link", AE_IFLNK, "/etc/passwd"); },
         "files/link", "symbolic link", RefusalCase::Plain},
        {"a hard link", [](T&, M& m) { Append(m, "files/hard", AE_IFREG, "/etc/passwd", true); },
         "files/hard", "hard link", RefusalCase::Plain},
        {"a device", [](T&, M& m) { Append(m, "files/dev", AE_IFCHR); }, "files/dev", "device",
         RefusalCase::Plain},
        {"a FIFO", [](T&, M& m) { Append(m, "files/fifo", AE_IFIFO); }, "files/fifo", "FIFO",
         RefusalCase::Plain},
        {"a folder", [](T&, M& m) { Append(m, "files/sub", AE_IFDIR); }, "files/sub", "folder",
         RefusalCase::Plain},
        {"a huge member",
         [](T&, M& m) { Append(m, "files/huge", AE_IFREG, "", false, (64 << 20) + 1); },
         "files/huge", "larger than 64 MiB", RefusalCase::Plain},
        {"a member twice", [](T& t, M& m) { m.push_back(t.Member(m, "files/app/a.bin")); },
         "files/app/a.bin", "twice", RefusalCase::Plain},
        {"a listed file missing", [](T&, M& m) { m.erase(m.begin() + 4); }, "files/app/a.bin",
         "missing", RefusalCase::Plain},
        {"a file the manifest does not list", [](T&, M& m) { Append(m, "files/extra.bin"); },
         "files/extra.bin", "not in the manifest", RefusalCase::Plain},
        {"no signature", [](T&, M& m) { m.erase(m.begin() + 1); }, "manifest.sig", "missing",
         RefusalCase::Plain},
        {"a signed recipe naming a file outside the bundle",
         [](T& t, M& m) {
             TarMember& recipe = t.Member(m, "files/l.toml");
             recipe.bytes = "name = \"Door\"\nvariant = \"DM-1\"\n[[download]]\nfile = \"" +
                            (t.m_dir / "line/app/a.bin") + "\"\nslot = 1\n";
             t.Resign(m, "k", [&](ReleaseManifest& manifest) {
                 manifest.files[0].size = recipe.bytes.size();
                 manifest.files[0].sha256 = Sha256Hex(recipe.bytes);
             });
         },
         "files/l.toml", "which the bundle does not hold", RefusalCase::Plain},
    };
    for (const RefusalCase& c : cases) {
        Run(c);
    }
}

}  // namespace
