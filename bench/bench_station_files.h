#pragma once
// The station benchmarks' files in their folder: a firmware package, a
// recipe for it, and a SQLite store.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "boxsim/box_simulator.h"
#include "records/record_store.h"
#include "ops/upgrade_timing.h"
#include "station/config/recipe.h"

// Writes `dir`/fw.pkg (a sample package of `packageBytes` for `version`) and
// `dir`/r.toml (that firmware, three settings and `extraToml`), then loads
// the recipe and opens `dir`/records.db. False, said on stderr, on an error.
inline bool MakeBenchStation(const std::filesystem::path& dir, const std::string& version,
                             std::size_t packageBytes, const std::string& extraToml, Recipe& recipe,
                             std::unique_ptr<IRecordStore>& store) {
    const auto package = MakeSamplePackage(version, packageBytes);
    std::ofstream(dir / "fw.pkg", std::ios::binary)
        .write(reinterpret_cast<const char*>(package.data()),
               static_cast<std::streamsize>(package.size()));
    std::ofstream(dir / "r.toml") << "name = \"bench\"\nvariant = \"B\"\n"
                                     "[firmware]\npackage = \"fw.pkg\"\nversion = \""
                                  << version
                                  << "\"\n[settings]\nactivePke = true\ncrankTime = 2\n"
                                     "hornOutputTime = 1\n"
                                  << extraToml;
    std::string error;
    if (LoadRecipe((dir / "r.toml").string(), recipe, error)) {
        store = OpenRecordStore("sqlite:" + (dir / "records.db").string(),
                                (dir / "queue.db").string(), error);
        if (store)
            return true;
    }
    std::fprintf(stderr, "%s\n", error.c_str());
    return false;
}

// The update's fixed pauses all set to `pauseMs`, for a simulated box that
// restarts at once.
inline UpgradeTiming BenchUpgradeTiming(std::uint32_t pauseMs) {
    UpgradeTiming t;
    t.prepareSettleMs = pauseMs;
    t.restartSettleMs = pauseMs;
    t.versionPauseMs = pauseMs;
    t.serialPauseMs = pauseMs;
    t.factoryResetPauseMs = pauseMs;
    return t;
}
