#include "station/release/trusted_keys.h"

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

bool LoadTrustedKeys(const std::string& folder, std::vector<TrustedKey>& keys, std::string& error) {
    std::error_code ec;
    std::vector<std::string> paths;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->path().extension() == ".pub")
            paths.push_back(it->path().string());
    }
    if (ec) {
        error = folder + ": cannot read the trusted keys: " + ec.message();
        return false;
    }
    std::sort(paths.begin(), paths.end());
    keys.clear();
    for (const std::string& path : paths) {
        EvpKeyPtr key = LoadPublicKey(path, error);
        if (!key)
            return false;
        const std::string keyId = KeyIdOf(key.get());
        keys.push_back(TrustedKey{path, keyId, std::move(key)});
    }
    return true;
}

const TrustedKey* FindTrustedKey(const std::vector<TrustedKey>& keys, const std::string& keyId) {
    const auto it = std::find_if(keys.begin(), keys.end(),
                                 [&](const TrustedKey& k) { return k.keyId == keyId; });
    return it == keys.end() ? nullptr : &*it;
}
