#pragma once
// A SHA-256 digest computed piece by piece (OpenSSL's libcrypto EVP).

#include <cstddef>
#include <memory>
#include <span>
#include <string>

namespace corvid {

class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void Update(std::span<const std::byte> bytes);
    // The digest as 64 lower-case hex digits; the object starts afresh after it.
    std::string HexDigest();

private:
    struct Context;
    std::unique_ptr<Context> context_;
};

}  // namespace corvid
