#pragma once
// The keys a station trusts: the `*.pub` files (Ed25519 public keys, PEM) of
// one folder, /etc/vornak/trusted-keys/ unless told otherwise. A plant
// installs engineering's public key there; a bundle runs only when its
// signer is one of them.

#include <string>
#include <vector>

#include "station/release/release_key.h"

inline constexpr char kDefaultTrustFolder[] = "/etc/vornak/trusted-keys";

struct TrustedKey {
    std::string path;
    std::string keyId;
    EvpKeyPtr key;
};

// Reads every `*.pub` of `folder` (in name order). False with a message
// naming the folder or the file in `error` when the folder can't be read or
// a `.pub` file is not an Ed25519 public key: a broken key file is refused,
// not skipped; `keys` is then unspecified.
bool LoadTrustedKeys(const std::string& folder, std::vector<TrustedKey>& keys, std::string& error);

// The key of `keys` with `keyId`, or null.
const TrustedKey* FindTrustedKey(const std::vector<TrustedKey>& keys, const std::string& keyId);
