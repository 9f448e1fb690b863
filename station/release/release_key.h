#pragma once
// Ed25519 keys of the release bundles: the engineering side signs a bundle's
// manifest with its private key, a station checks the signature with the
// public key of a key pair it trusts.
//
// Principles of operation. Keys live in PEM files: the private key as PKCS#8
// (mode 0600), the public key as SubjectPublicKeyInfo (`KEYFILE.pub`). A key
// is named by its key id, the first 16 hex digits of the SHA-256 of the raw
// 32-byte public key, which the manifest records and the tools print.
// Signatures are the 64 raw bytes of Ed25519 over the exact bytes signed
// (OpenSSL's EVP one-shot sign and verify). Pure functions and a value type
// owning its EVP_PKEY; any thread may call them.

#include <openssl/evp.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct EvpKeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
using EvpKeyPtr = std::unique_ptr<EVP_PKEY, EvpKeyFree>;

inline constexpr std::size_t kEd25519PublicKeyBytes = 32;
inline constexpr std::size_t kEd25519SignatureBytes = 64;
inline constexpr std::size_t kKeyIdHexDigits = 16;

// The raw public key of `key` (private or public), empty on failure.
std::vector<std::uint8_t> RawPublicKey(const EVP_PKEY* key);

// The key id of a raw public key.
std::string KeyIdOfRawKey(const std::vector<std::uint8_t>& rawPublicKey);
// The key id of `key`'s public key; empty on failure.
std::string KeyIdOf(const EVP_PKEY* key);

// Makes a new key pair and writes the private key to `path` (mode 0600) and
// the public key to `path`.pub. Refuses when either file exists. False with a
// message naming the file in `error`; nothing is left on disk then.
bool GenerateKeyFiles(const std::string& path, std::string& keyId, std::string& error);

// Reads an Ed25519 private key (PEM, unencrypted) from `path`. Null with a
// message naming the file in `error`.
EvpKeyPtr LoadPrivateKey(const std::string& path, std::string& error);
// Reads an Ed25519 public key (PEM) from `path`. Null with a message.
EvpKeyPtr LoadPublicKey(const std::string& path, std::string& error);
// An Ed25519 public key from its 32 raw bytes; null for anything else.
EvpKeyPtr PublicKeyFromRaw(const std::vector<std::uint8_t>& rawPublicKey);

// Ed25519 over `message`; empty on failure.
std::vector<std::uint8_t> SignBytes(EVP_PKEY* privateKey, std::string_view message);
// Whether `signature` is `publicKey`'s Ed25519 signature of `message`.
bool VerifyBytes(EVP_PKEY* publicKey, std::string_view message, std::string_view signature);
