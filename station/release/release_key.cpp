#include "station/release/release_key.h"

#include <fcntl.h>
#include <openssl/pem.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/regular_file.h"
#include "station/config/digest.h"

namespace {

// A PEM key is a few hundred bytes; anything this large is not one.
constexpr std::size_t kMaxKeyFileBytes = 64 * 1024;
constexpr mode_t kPrivateKeyMode = 0600;
constexpr mode_t kPublicKeyMode = 0644;

struct BioFree {
    void operator()(BIO* bio) const { BIO_free(bio); }
};
using BioPtr = std::unique_ptr<BIO, BioFree>;

struct MdCtxFree {
    void operator()(EVP_MD_CTX* ctx) const { EVP_MD_CTX_free(ctx); }
};
using MdCtxPtr = std::unique_ptr<EVP_MD_CTX, MdCtxFree>;

// A passphrase callback that gives none: an encrypted key fails to load
// instead of prompting on the terminal.
int NoPassphrase(char*, int, int, void*) {
    return 0;
}

std::string BioText(BIO* bio) {
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio, &data);
    return length > 0 ? std::string(data, static_cast<std::size_t>(length)) : std::string();
}

// Creates `path` (never over an existing name) with `mode` and writes `text`.
bool WriteNewFile(const std::string& path, const std::string& text, mode_t mode,
                  std::string& error) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    const CFileDescriptor owned(fd);
    // The umask may have taken bits away, never added: the mode is set whole.
    bool ok = fchmod(fd, mode) == 0;
    std::size_t done = 0;
    while (ok && done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        done += ok ? static_cast<std::size_t>(n) : 0;
    }
    ok = ok && fsync(fd) == 0;
    if (!ok) {
        error = path + ": " + std::strerror(errno);
        unlink(path.c_str());
    }
    return ok;
}

bool Exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

bool IsEd25519(const EVP_PKEY* key) {
    return key != nullptr && EVP_PKEY_get_id(key) == EVP_PKEY_ED25519;
}

// Reads the PEM file at `path` and parses it with `read`.
template <typename Reader>
EvpKeyPtr LoadKey(const std::string& path, const char* what, Reader read, std::string& error) {
    std::string text;
    int readError = 0;
    if (!ReadRegularFile(path, kMaxKeyFileBytes, text, readError)) {
        error = path + ": cannot read the " + std::string(what) + ": " + FileErrorText(readError);
        return nullptr;
    }
    BioPtr bio(BIO_new_mem_buf(text.data(), static_cast<int>(text.size())));
    EvpKeyPtr key(bio ? read(bio.get()) : nullptr);
    if (!IsEd25519(key.get())) {
        error = path + ": not an Ed25519 " + std::string(what) + " in PEM form";
        return nullptr;
    }
    return key;
}

}  // namespace

std::vector<std::uint8_t> RawPublicKey(const EVP_PKEY* key) {
    std::vector<std::uint8_t> raw(kEd25519PublicKeyBytes);
    std::size_t length = raw.size();
    if (!IsEd25519(key) || EVP_PKEY_get_raw_public_key(key, raw.data(), &length) != 1 ||
        length != kEd25519PublicKeyBytes)
        return {};
    return raw;
}

std::string KeyIdOfRawKey(const std::vector<std::uint8_t>& rawPublicKey) {
    return Sha256Hex(rawPublicKey.data(), rawPublicKey.size()).substr(0, kKeyIdHexDigits);
}

std::string KeyIdOf(const EVP_PKEY* key) {
    const std::vector<std::uint8_t> raw = RawPublicKey(key);
    return raw.empty() ? std::string() : KeyIdOfRawKey(raw);
}

bool GenerateKeyFiles(const std::string& path, std::string& keyId, std::string& error) {
    const std::string publicPath = path + ".pub";
    for (const std::string& p : {path, publicPath}) {
        if (Exists(p)) {
            error = p + ": already exists; a key file is never overwritten";
            return false;
        }
    }
    EvpKeyPtr key(EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519"));
    BioPtr privateBio(BIO_new(BIO_s_mem()));
    BioPtr publicBio(BIO_new(BIO_s_mem()));
    if (!key || !privateBio || !publicBio ||
        PEM_write_bio_PrivateKey(privateBio.get(), key.get(), nullptr, nullptr, 0, nullptr,
                                 nullptr) != 1 ||
        PEM_write_bio_PUBKEY(publicBio.get(), key.get()) != 1) {
        error = "cannot make an Ed25519 key";
        return false;
    }
    if (!WriteNewFile(path, BioText(privateBio.get()), kPrivateKeyMode, error))
        return false;
    if (!WriteNewFile(publicPath, BioText(publicBio.get()), kPublicKeyMode, error)) {
        unlink(path.c_str());
        return false;
    }
    keyId = KeyIdOf(key.get());
    return true;
}

EvpKeyPtr LoadPrivateKey(const std::string& path, std::string& error) {
    return LoadKey(
        path, "private key",
        [](BIO* bio) { return PEM_read_bio_PrivateKey(bio, nullptr, NoPassphrase, nullptr); },
        error);
}

EvpKeyPtr LoadPublicKey(const std::string& path, std::string& error) {
    return LoadKey(
        path, "public key",
        [](BIO* bio) { return PEM_read_bio_PUBKEY(bio, nullptr, NoPassphrase, nullptr); }, error);
}

EvpKeyPtr PublicKeyFromRaw(const std::vector<std::uint8_t>& rawPublicKey) {
    if (rawPublicKey.size() != kEd25519PublicKeyBytes)
        return nullptr;
    return EvpKeyPtr(EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, rawPublicKey.data(),
                                                 rawPublicKey.size()));
}

std::vector<std::uint8_t> SignBytes(EVP_PKEY* privateKey, std::string_view message) {
    MdCtxPtr ctx(EVP_MD_CTX_new());
    std::vector<std::uint8_t> signature(kEd25519SignatureBytes);
    std::size_t length = signature.size();
    if (!ctx || EVP_DigestSignInit(ctx.get(), nullptr, nullptr, nullptr, privateKey) != 1 ||
        EVP_DigestSign(ctx.get(), signature.data(), &length,
                       reinterpret_cast<const unsigned char*>(message.data()),
                       message.size()) != 1 ||
        length != kEd25519SignatureBytes)
        return {};
    return signature;
}

bool VerifyBytes(EVP_PKEY* publicKey, std::string_view message, std::string_view signature) {
    MdCtxPtr ctx(EVP_MD_CTX_new());
    return ctx && signature.size() == kEd25519SignatureBytes &&
           EVP_DigestVerifyInit(ctx.get(), nullptr, nullptr, nullptr, publicKey) == 1 &&
           EVP_DigestVerify(ctx.get(), reinterpret_cast<const unsigned char*>(signature.data()),
                            signature.size(),
                            reinterpret_cast<const unsigned char*>(message.data()),
                            message.size()) == 1;
}
