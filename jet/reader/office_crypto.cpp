#include "jet/reader/office_crypto.h"

#include <openssl/evp.h>

#include <algorithm>

#include "jet/reader/errors.h"

namespace corvid::jet::reader {
namespace {

[[noreturn]] void CryptoFailed(const char* step) {
  throw JetError(std::string("the cryptographic library failed to ") + step);
}

const unsigned char* Raw(ByteView bytes) {
  return reinterpret_cast<const unsigned char*>(bytes.data());
}

}  // namespace

Hasher::Hasher(HashKind kind) {
  md_ = EVP_MD_fetch(nullptr, kind == HashKind::Sha1 ? "SHA1" : "SHA512", nullptr);
  ctx_ = EVP_MD_CTX_new();
  if (!md_ || !ctx_) {
    EVP_MD_free(md_);
    EVP_MD_CTX_free(ctx_);
    CryptoFailed("provide a hash");
  }
  size_ = static_cast<std::size_t>(EVP_MD_get_size(md_));
}

Hasher::~Hasher() {
  EVP_MD_CTX_free(ctx_);
  EVP_MD_free(md_);
}

CryptoBytes Hasher::Hash(std::initializer_list<ByteView> parts) {
  CryptoBytes out(size_);
  HashInto(parts, out);
  return out;
}

void Hasher::HashInto(std::initializer_list<ByteView> parts, std::span<std::byte> out) {
  if (out.size() < size_)
    throw JetError("a hash buffer of " + std::to_string(out.size()) + " bytes");
  if (EVP_DigestInit_ex2(ctx_, md_, nullptr) != 1) CryptoFailed("start a hash");
  for (ByteView part : parts)
    if (!part.empty() && EVP_DigestUpdate(ctx_, part.data(), part.size()) != 1)
      CryptoFailed("hash");
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(ctx_, reinterpret_cast<unsigned char*>(out.data()), &length) != 1 ||
      length != size_)
    CryptoFailed("end a hash");
}

AesCipher::AesCipher(Mode mode, ByteView key) {
  const char* name = nullptr;
  switch (key.size()) {
    case 16:
      name = mode == Mode::Cbc ? "AES-128-CBC" : "AES-128-ECB";
      break;
    case 24:
      name = mode == Mode::Cbc ? "AES-192-CBC" : "AES-192-ECB";
      break;
    case 32:
      name = mode == Mode::Cbc ? "AES-256-CBC" : "AES-256-ECB";
      break;
    default:
      throw JetError("an AES key of " + std::to_string(key.size()) + " bytes");
  }
  cipher_ = EVP_CIPHER_fetch(nullptr, name, nullptr);
  ctx_ = EVP_CIPHER_CTX_new();
  if (!cipher_ || !ctx_) {
    EVP_CIPHER_free(cipher_);
    EVP_CIPHER_CTX_free(ctx_);
    CryptoFailed("provide AES");
  }
  // The key schedule is made once per direction (see Run).
  key_.assign(key.begin(), key.end());
}

AesCipher::~AesCipher() {
  EVP_CIPHER_CTX_free(ctx_);
  EVP_CIPHER_free(cipher_);
  std::fill(key_.begin(), key_.end(), std::byte{0});
}

void AesCipher::Decrypt(ByteView iv, std::span<std::byte> data) { Run(false, iv, data); }
void AesCipher::Encrypt(ByteView iv, std::span<std::byte> data) { Run(true, iv, data); }

void AesCipher::Run(bool encrypt, ByteView iv, std::span<std::byte> data) {
  if (data.size() % 16 != 0)
    throw JetError("AES data of " + std::to_string(data.size()) + " bytes (not whole blocks)");
  if (iv.size() < 16 && EVP_CIPHER_get_iv_length(cipher_) > 0)
    throw JetError("an AES IV shorter than a block");
  const bool chained = EVP_CIPHER_get_iv_length(cipher_) > 0;
  const unsigned char* ivBytes = chained ? Raw(iv) : nullptr;
  if (chained && !encrypt && keyed_ && !encrypting_ && !data.empty()) {
    // CBC decryption uses the IV for the first block only (P0 = D(C0) XOR
    // IV). Rather than restart the context for every call, it goes on from
    // the last ciphertext block of the previous call, and the first block is
    // corrected afterwards: a restart costs a good share of a page's time.
    std::array<std::byte, 16> last;
    std::copy_n(data.end() - 16, 16, last.begin());
    Update(data);
    for (std::size_t i = 0; i < 16; ++i) data[i] ^= chain_[i] ^ iv[i];
    chain_ = last;
    return;
  }
  if (!keyed_ || encrypting_ != encrypt) {
    if (EVP_CipherInit_ex2(ctx_, cipher_, Raw(key_), ivBytes, encrypt ? 1 : 0, nullptr) != 1)
      CryptoFailed("key AES");
    EVP_CIPHER_CTX_set_padding(ctx_, 0);
    keyed_ = true;
    encrypting_ = encrypt;
  } else if (EVP_CipherInit_ex2(ctx_, nullptr, nullptr, ivBytes, encrypt ? 1 : 0, nullptr) != 1) {
    CryptoFailed("restart AES");
  }
  if (chained && !encrypt) {
    std::copy_n(iv.begin(), 16, chain_.begin());
    if (!data.empty()) std::copy_n(data.end() - 16, 16, chain_.begin());
  }
  Update(data);
}

void AesCipher::Update(std::span<std::byte> data) {
  auto* bytes = reinterpret_cast<unsigned char*>(data.data());
  std::size_t done = 0;
  while (done < data.size()) {
    const int chunk = static_cast<int>(std::min<std::size_t>(data.size() - done, 1 << 30));
    int written = 0;
    if (EVP_CipherUpdate(ctx_, bytes + done, &written, bytes + done, chunk) != 1 ||
        written != chunk)
      CryptoFailed("run AES");
    done += static_cast<std::size_t>(chunk);
  }
}

CryptoBytes FitToLength(CryptoBytes bytes, std::size_t length, std::byte pad) {
  bytes.resize(length, pad);
  return bytes;
}

std::array<std::byte, 4> LittleEndian32(std::uint32_t value) {
  return {std::byte(value), std::byte(value >> 8), std::byte(value >> 16), std::byte(value >> 24)};
}

CryptoBytes PasswordBytes(std::u16string_view password) {
  password = password.substr(0, std::min<std::size_t>(password.size(), 255));
  CryptoBytes bytes;
  bytes.reserve(password.size() * 2);
  for (char16_t unit : password) {
    bytes.push_back(std::byte(unit & 0xFF));
    bytes.push_back(std::byte(unit >> 8));
  }
  return bytes;
}

CryptoBytes AgileIteratedHash(HashKind kind, ByteView salt, ByteView password,
                              std::uint32_t spinCount) {
  Hasher hasher(kind);
  const std::size_t size = hasher.Size();
  // Each round hashes (round ‖ previous hash), kept side by side in one
  // buffer so that a round is one update and no allocation.
  std::array<std::byte, 4 + kMaxHashSize> input;
  std::array<std::byte, kMaxHashSize> output;
  hasher.HashInto({salt, password}, output);
  for (std::uint32_t round = 0; round < spinCount; ++round) {
    const auto counter = LittleEndian32(round);
    std::copy(counter.begin(), counter.end(), input.begin());
    std::copy_n(output.begin(), size, input.begin() + 4);
    hasher.HashInto({ByteView(input).first(4 + size)}, output);
  }
  return CryptoBytes(output.begin(), output.begin() + static_cast<std::ptrdiff_t>(size));
}

CryptoBytes AgileKey(HashKind kind, ByteView iterated, ByteView blockKey, std::size_t keyBytes) {
  Hasher hasher(kind);
  return FitToLength(hasher.Hash({iterated, blockKey}), keyBytes, std::byte{0x36});
}

CryptoBytes AgileIv(HashKind kind, ByteView salt, ByteView blockKey, std::size_t blockSize) {
  Hasher hasher(kind);
  return FitToLength(hasher.Hash({salt, blockKey}), blockSize, std::byte{0x36});
}

CryptoBytes CryptoApiBaseHash(ByteView salt, ByteView password) {
  Hasher sha1(HashKind::Sha1);
  return sha1.Hash({salt, password});
}

CryptoBytes Rc4CryptoApiKey(ByteView baseHash, ByteView blockKey, std::uint32_t keyBits) {
  Hasher sha1(HashKind::Sha1);
  CryptoBytes key = FitToLength(sha1.Hash({baseHash, blockKey}), keyBits / 8, std::byte{0});
  if (keyBits == 40) key.resize(16, std::byte{0});
  return key;
}

CryptoBytes CryptoApiAesKey(ByteView baseHash, ByteView blockKey, std::uint32_t keyBits) {
  Hasher sha1(HashKind::Sha1);
  const CryptoBytes h = sha1.Hash({baseHash, blockKey});
  std::array<std::byte, 64> inner;
  std::array<std::byte, 64> outer;
  inner.fill(std::byte{0x36});
  outer.fill(std::byte{0x5C});
  for (std::size_t i = 0; i < h.size(); ++i) {
    inner[i] ^= h[i];
    outer[i] ^= h[i];
  }
  CryptoBytes key = sha1.Hash({inner});
  const CryptoBytes second = sha1.Hash({outer});
  key.insert(key.end(), second.begin(), second.end());
  return FitToLength(std::move(key), keyBits / 8, std::byte{0});
}

}  // namespace corvid::jet::reader
