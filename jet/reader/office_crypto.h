// The building blocks of Office file encryption, on OpenSSL's libcrypto:
// hashes, AES in CBC and ECB mode without padding, and the key derivations
// of the agile and the CryptoAPI schemes. RC4 is the project's own
// (jet/rc4.h).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct evp_md_st;
struct evp_md_ctx_st;
struct evp_cipher_st;
struct evp_cipher_ctx_st;

namespace corvid::jet::reader {

using CryptoBytes = std::vector<std::byte>;
using ByteView = std::span<const std::byte>;

enum class HashKind { Sha1, Sha512 };

inline constexpr std::size_t kAesBlock = 16;
inline constexpr std::size_t kMaxHashSize = 64;  // SHA-512

// A hash function with a context reused from call to call (not safe to
// share between threads).
class Hasher {
 public:
  explicit Hasher(HashKind kind);
  ~Hasher();
  Hasher(const Hasher&) = delete;
  Hasher& operator=(const Hasher&) = delete;

  std::size_t Size() const { return size_; }
  // The hash of the parts one after the other.
  CryptoBytes Hash(std::initializer_list<ByteView> parts);
  // The same into `out` (at least Size() bytes), without allocating: for
  // the hashes made once per page or per round.
  void HashInto(std::initializer_list<ByteView> parts, std::span<std::byte> out);

 private:
  evp_md_st* md_ = nullptr;
  evp_md_ctx_st* ctx_ = nullptr;
  std::size_t size_ = 0;
};

// AES with one key (16, 24 or 32 bytes), CBC or ECB, no padding: the data
// must be whole 16-byte blocks. Not safe to share between threads.
class AesCipher {
 public:
  enum class Mode { Cbc, Ecb };
  AesCipher(Mode mode, ByteView key);
  ~AesCipher();
  AesCipher(const AesCipher&) = delete;
  AesCipher& operator=(const AesCipher&) = delete;

  // In place; `iv` (16 bytes) is ignored in ECB mode.
  void Decrypt(ByteView iv, std::span<std::byte> data);
  void Encrypt(ByteView iv, std::span<std::byte> data);

 private:
  void Run(bool encrypt, ByteView iv, std::span<std::byte> data);
  void Update(std::span<std::byte> data);
  evp_cipher_st* cipher_ = nullptr;
  evp_cipher_ctx_st* ctx_ = nullptr;
  CryptoBytes key_;
  bool keyed_ = false;
  bool encrypting_ = false;
  std::array<std::byte, 16> chain_{};  // CBC decryption: the last ciphertext block seen
};

// `bytes` cut to `length`, or padded to it with `pad`.
CryptoBytes FitToLength(CryptoBytes bytes, std::size_t length, std::byte pad);

// Four bytes little-endian.
std::array<std::byte, 4> LittleEndian32(std::uint32_t value);

// The password as the schemes hash it: UTF-16LE code units, at most 255
// of them (longer passwords count with their first 255).
CryptoBytes PasswordBytes(std::u16string_view password);

// Agile: H0 = hash(salt ‖ password), then `spinCount` rounds of
// H = hash(round as 4 bytes little-endian ‖ H).
CryptoBytes AgileIteratedHash(HashKind kind, ByteView salt, ByteView password,
                              std::uint32_t spinCount);
// Agile: hash(iterated ‖ block key) cut to `keyBytes` or padded with 0x36.
CryptoBytes AgileKey(HashKind kind, ByteView iterated, ByteView blockKey, std::size_t keyBytes);
// Agile: hash(salt ‖ block key) cut to `blockSize` or padded with 0x36.
CryptoBytes AgileIv(HashKind kind, ByteView salt, ByteView blockKey, std::size_t blockSize);

// The block keys the agile scheme uses for its password key encryptor.
inline constexpr std::array<std::byte, 8> kAgileVerifierInputBlock{
    std::byte{0xFE}, std::byte{0xA7}, std::byte{0xD2}, std::byte{0x76},
    std::byte{0x3B}, std::byte{0x4B}, std::byte{0x9E}, std::byte{0x79}};
inline constexpr std::array<std::byte, 8> kAgileVerifierValueBlock{
    std::byte{0xD7}, std::byte{0xAA}, std::byte{0x0F}, std::byte{0x6D},
    std::byte{0x30}, std::byte{0x61}, std::byte{0x34}, std::byte{0x4E}};
inline constexpr std::array<std::byte, 8> kAgileKeyValueBlock{
    std::byte{0x14}, std::byte{0x6E}, std::byte{0x0B}, std::byte{0xE7},
    std::byte{0xAB}, std::byte{0xAC}, std::byte{0xD0}, std::byte{0xD6}};

// CryptoAPI: SHA-1(salt ‖ password).
CryptoBytes CryptoApiBaseHash(ByteView salt, ByteView password);
// RC4 CryptoAPI: SHA-1(base hash ‖ block key) cut to the key size; a 40-bit
// key is padded with zeros to 16 bytes.
CryptoBytes Rc4CryptoApiKey(ByteView baseHash, ByteView blockKey, std::uint32_t keyBits);
// CryptoAPI AES: H = SHA-1(base hash ‖ block key); the key is the first
// bytes of SHA-1(H XOR 64 × 0x36) ‖ SHA-1(H XOR 64 × 0x5C).
CryptoBytes CryptoApiAesKey(ByteView baseHash, ByteView blockKey, std::uint32_t keyBits);

}  // namespace corvid::jet::reader
