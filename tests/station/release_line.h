#pragma once
// A line's folder for the tests of opening a station and of the barcode
// switch: plain recipes, signed bundles of a variant at a release number, an
// empty trust folder, and a SQLite store beside them with the passes a test
// seeds. Everything lives in a folder of the test's own.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>

#include "records/record_store.h"
#include "station/release/release_bundle.h"
#include "station/release/release_key.h"
#include "tests/support/inserted.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_files.h"

class CReleaseLine {
public:
    CReleaseLine() {
        std::filesystem::create_directories(m_dir / "eng");
        std::filesystem::create_directories(m_dir / "line");
        std::filesystem::create_directories(m_dir / "trust");
        std::string keyId;
        std::string error;
        EXPECT_TRUE(GenerateKeyFiles(m_dir / "eng/k", keyId, error)) << error;
    }

    // Puts the signing key's public half into the trust folder.
    void TrustTheKey() const {
        std::filesystem::copy_file(m_dir / "eng/k.pub", m_dir / "trust/k.pub");
    }

    // `name` in the line's folder.
    std::string Line(const std::string& name) const { return m_dir / ("line/" + name); }
    std::string Folder() const { return m_dir / "line"; }
    std::string TrustFolder() const { return m_dir / "trust"; }
    std::string StorePath() const { return Line(kDefaultRecordsFile); }

    static std::string RecipeText(const std::string& variant) {
        return "name = \"Door module\"\nvariant = \"" + variant +
               "\"\n[settings]\nactivePke = true\n";
    }

    // A plain recipe of `variant` in the line's folder; its path.
    std::string Recipe(const std::string& name, const std::string& variant) const {
        WriteTextFile(Line(name), RecipeText(variant));
        return Line(name);
    }

    // A bundle of `variant` at `release` in the line's folder; its path.
    std::string Bundle(const std::string& name, const std::string& variant,
                       std::int64_t release) const {
        WriteTextFile(m_dir / "eng/r.toml", RecipeText(variant));
        BundleRequest request;
        request.recipePath = m_dir / "eng/r.toml";
        request.keyPath = m_dir / "eng/k";
        request.release = release;
        request.families = {"VBX-100 "};
        request.output = Line(name);
        request.now = std::chrono::system_clock::now();
        ReleaseManifest manifest;
        std::string error;
        EXPECT_TRUE(CreateBundle(request, manifest, error)) << error;
        return request.output;
    }

    // A pass of `variant` at `release` in the line's store.
    void SeedPass(const std::string& variant, std::int64_t release) const {
        std::string error;
        std::unique_ptr<IRecordStore> store =
            OpenRecordStore("sqlite:" + StorePath(), Line(kDefaultQueueFile), error);
        ASSERT_TRUE(store) << error;
        UnitRecord passed;
        passed.id = "pass-" + variant + "-" + std::to_string(release);
        passed.serial = "1234AB005E01";
        passed.variant = variant;
        passed.result = UnitResult::Pass;
        passed.startTime = "2026-12-01T08:00:00.000Z";
        passed.releaseNumber = release;
        ASSERT_TRUE(Inserted(store->Insert(passed, false)));
    }

private:
    CTempDir m_dir{"releaseline"};
};
