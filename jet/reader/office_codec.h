// Page codecs of Office-encrypted ACE files. Every page after the header is
// encrypted on its own, with a block key = its page number XOR the file's
// 4-byte encoding key (both little-endian):
// - agile: one data key for all pages, AES-CBC over the whole page with
//   IV = hash(key-data salt ‖ block key) cut to the block size;
// - RC4 CryptoAPI: RC4 with SHA-1(SHA-1(salt ‖ password) ‖ block key) cut
//   to the key size;
// - CryptoAPI with an AES algorithm but no AES flag: AES-ECB with a key
//   derived from SHA-1(SHA-1(salt ‖ password) ‖ block key).
// The password is checked against the file's verifier (with block key 0)
// before a codec exists, so no page is ever decrypted with a wrong one.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string_view>

#include "jet/reader/encryption_info.h"
#include "jet/reader/office_crypto.h"
#include "jet/reader/page_codec.h"

namespace corvid::jet::reader {

class OfficeCodec : public PageCodec {
 public:
  // The reverse of Decode, in place: makes encrypted files for tests and
  // benchmarks (the reader itself never writes).
  virtual void Encode(std::uint32_t number, std::span<std::byte> page) const = 0;
};

class AgileCodec final : public OfficeCodec {
 public:
  AgileCodec(HashKind kind, ByteView dataKey, ByteView keyDataSalt, std::size_t blockSize,
             std::uint32_t encodingKey);
  void Decode(std::uint32_t number, std::span<std::byte> page) const override;
  void Encode(std::uint32_t number, std::span<std::byte> page) const override;

 private:
  void Run(bool encrypt, std::uint32_t number, std::span<std::byte> page) const;
  CryptoBytes salt_;
  std::size_t blockSize_;
  std::uint32_t encodingKey_;
  mutable std::mutex mutex_;  // the contexts below are reused page after page
  mutable Hasher hasher_;
  mutable AesCipher aes_;
};

class Rc4CryptoApiCodec final : public OfficeCodec {
 public:
  Rc4CryptoApiCodec(ByteView baseHash, std::uint32_t keyBits, std::uint32_t encodingKey);
  void Decode(std::uint32_t number, std::span<std::byte> page) const override;
  void Encode(std::uint32_t number, std::span<std::byte> page) const override {
    Decode(number, page);
  }

 private:
  CryptoBytes baseHash_;
  std::uint32_t keyBits_;
  std::uint32_t encodingKey_;
};

class CryptoApiAesCodec final : public OfficeCodec {
 public:
  CryptoApiAesCodec(ByteView baseHash, std::uint32_t keyBits, std::uint32_t encodingKey);
  void Decode(std::uint32_t number, std::span<std::byte> page) const override;
  void Encode(std::uint32_t number, std::span<std::byte> page) const override;

 private:
  CryptoBytes baseHash_;
  std::uint32_t keyBits_;
  std::uint32_t encodingKey_;
};

// The codec of `info` for `password` (UTF-8). Throws
// UnsupportedEncryptionError naming the scheme when the reader does not
// decrypt it, and PasswordError("Not a valid password.") when the password
// is empty, not UTF-8, or fails the verifier.
std::shared_ptr<const OfficeCodec> OpenOfficeCodec(const EncryptionInfo& info,
                                                   std::uint32_t encodingKey,
                                                   std::string_view password);

inline constexpr char kNotAValidPassword[] = "Not a valid password.";

}  // namespace corvid::jet::reader
