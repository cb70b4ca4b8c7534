#include "engine/sha256.h"

#include <openssl/evp.h>

#include <stdexcept>

namespace corvid {

struct Sha256::Context {
    EVP_MD_CTX* md = EVP_MD_CTX_new();
    ~Context() { EVP_MD_CTX_free(md); }
    void Start() {
        if (md == nullptr || EVP_DigestInit_ex(md, EVP_sha256(), nullptr) != 1)
            throw std::runtime_error("SHA-256 is not available");
    }
};

Sha256::Sha256() : context_(std::make_unique<Context>()) { context_->Start(); }
Sha256::~Sha256() = default;

void Sha256::Update(std::span<const std::byte> bytes) {
    if (!bytes.empty() && EVP_DigestUpdate(context_->md, bytes.data(), bytes.size()) != 1)
        throw std::runtime_error("SHA-256 failed");
}

std::string Sha256::HexDigest() {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context_->md, digest, &length) != 1)
        throw std::runtime_error("SHA-256 failed");
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    for (unsigned int i = 0; i < length; ++i) {
        text += kHex[digest[i] >> 4];
        text += kHex[digest[i] & 0xF];
    }
    context_->Start();
    return text;
}

}  // namespace corvid
