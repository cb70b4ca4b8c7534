#include "jet/reader/office_codec.h"

#include <algorithm>
#include <array>

#include "SrcLib/code_pages.h"
#include "jet/rc4.h"
#include "jet/reader/errors.h"

namespace corvid::jet::reader {
namespace {

HashKind HashKindOf(const std::string& name) {
  return name == "SHA1" ? HashKind::Sha1 : HashKind::Sha512;
}

bool SameBytes(ByteView a, ByteView b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

[[noreturn]] void WrongPassword() { throw PasswordError(kNotAValidPassword); }

// Decrypts `encrypted` (whole blocks) with the password key encryptor's key
// for `block`, IV = its salt fitted to the block size.
CryptoBytes DecryptWithPasswordKey(const AgileDescriptor& d, ByteView iterated, ByteView block,
                                   ByteView encrypted) {
  const AgileKeyParameters& p = d.passwordKey;
  const HashKind kind = HashKindOf(p.hashAlgorithm);
  const CryptoBytes key = AgileKey(kind, iterated, block, p.keyBits / 8);
  const CryptoBytes iv = FitToLength(p.salt, p.blockSize, std::byte{0x36});
  CryptoBytes plain(encrypted.begin(), encrypted.end());
  AesCipher(AesCipher::Mode::Cbc, key).Decrypt(iv, plain);
  return plain;
}

std::shared_ptr<const OfficeCodec> OpenAgile(const AgileDescriptor& d, std::uint32_t encodingKey,
                                             ByteView password) {
  const AgileKeyParameters& p = d.passwordKey;
  const HashKind kind = HashKindOf(p.hashAlgorithm);
  const CryptoBytes iterated = AgileIteratedHash(kind, p.salt, password, d.spinCount);
  CryptoBytes input =
      DecryptWithPasswordKey(d, iterated, kAgileVerifierInputBlock, d.encryptedVerifierHashInput);
  input.resize(p.saltSize);
  CryptoBytes expected =
      DecryptWithPasswordKey(d, iterated, kAgileVerifierValueBlock, d.encryptedVerifierHashValue);
  expected.resize(p.hashSize);
  if (!SameBytes(Hasher(kind).Hash({input}), expected)) WrongPassword();
  CryptoBytes dataKey =
      DecryptWithPasswordKey(d, iterated, kAgileKeyValueBlock, d.encryptedKeyValue);
  dataKey.resize(d.keyData.keyBits / 8);
  return std::make_shared<AgileCodec>(HashKindOf(d.keyData.hashAlgorithm), dataKey, d.keyData.salt,
                                      d.keyData.blockSize, encodingKey);
}

std::shared_ptr<const OfficeCodec> OpenRc4CryptoApi(const EncryptionInfo& info,
                                                    std::uint32_t encodingKey, ByteView password) {
  const CryptoApiVerifier& v = info.verifier;
  const CryptoBytes base = CryptoApiBaseHash(v.salt, password);
  const auto block0 = LittleEndian32(0);
  const CryptoBytes key = Rc4CryptoApiKey(base, block0, info.cryptoApi.keyBits);
  // The verifier and its hash are one RC4 stream.
  CryptoBytes stream(v.encryptedVerifier.begin(), v.encryptedVerifier.end());
  stream.insert(stream.end(), v.encryptedVerifierHash.begin(), v.encryptedVerifierHash.end());
  ApplyRc4(std::span(reinterpret_cast<const std::uint8_t*>(key.data()), key.size()), stream);
  const ByteView plain(stream);
  if (!SameBytes(Hasher(HashKind::Sha1).Hash({plain.first(16)}),
                 plain.subspan(16, v.verifierHashSize)))
    WrongPassword();
  return std::make_shared<Rc4CryptoApiCodec>(base, info.cryptoApi.keyBits, encodingKey);
}

std::shared_ptr<const OfficeCodec> OpenCryptoApiAes(const EncryptionInfo& info,
                                                    std::uint32_t encodingKey, ByteView password) {
  const CryptoApiVerifier& v = info.verifier;
  const CryptoBytes base = CryptoApiBaseHash(v.salt, password);
  const auto block0 = LittleEndian32(0);
  AesCipher aes(AesCipher::Mode::Ecb, CryptoApiAesKey(base, block0, info.cryptoApi.keyBits));
  CryptoBytes verifier(v.encryptedVerifier.begin(), v.encryptedVerifier.end());
  CryptoBytes hash(v.encryptedVerifierHash.begin(), v.encryptedVerifierHash.end());
  aes.Decrypt({}, verifier);
  aes.Decrypt({}, hash);
  if (!SameBytes(Hasher(HashKind::Sha1).Hash({verifier}), ByteView(hash).first(v.verifierHashSize)))
    WrongPassword();
  return std::make_shared<CryptoApiAesCodec>(base, info.cryptoApi.keyBits, encodingKey);
}

}  // namespace

AgileCodec::AgileCodec(HashKind kind, ByteView dataKey, ByteView keyDataSalt, std::size_t blockSize,
                       std::uint32_t encodingKey)
    : salt_(keyDataSalt.begin(), keyDataSalt.end()),
      blockSize_(blockSize),
      encodingKey_(encodingKey),
      hasher_(kind),
      aes_(AesCipher::Mode::Cbc, dataKey) {
  if (blockSize_ < kAesBlock) throw JetError("an AES IV shorter than a block");
}

void AgileCodec::Run(bool encrypt, std::uint32_t number, std::span<std::byte> page) const {
  const auto blockKey = LittleEndian32(number ^ encodingKey_);
  std::lock_guard lock(mutex_);
  // AES takes the first block of the IV: the hash is never shorter than a
  // block, so the 0x36 padding of a longer block size never reaches it.
  std::array<std::byte, kMaxHashSize> hash;
  hasher_.HashInto({salt_, blockKey}, hash);
  const ByteView iv = ByteView(hash).first(kAesBlock);
  if (encrypt)
    aes_.Encrypt(iv, page);
  else
    aes_.Decrypt(iv, page);
}

void AgileCodec::Decode(std::uint32_t number, std::span<std::byte> page) const {
  Run(false, number, page);
}
void AgileCodec::Encode(std::uint32_t number, std::span<std::byte> page) const {
  Run(true, number, page);
}

Rc4CryptoApiCodec::Rc4CryptoApiCodec(ByteView baseHash, std::uint32_t keyBits,
                                     std::uint32_t encodingKey)
    : baseHash_(baseHash.begin(), baseHash.end()), keyBits_(keyBits), encodingKey_(encodingKey) {}

void Rc4CryptoApiCodec::Decode(std::uint32_t number, std::span<std::byte> page) const {
  const auto blockKey = LittleEndian32(number ^ encodingKey_);
  const CryptoBytes key = Rc4CryptoApiKey(baseHash_, blockKey, keyBits_);
  ApplyRc4(std::span(reinterpret_cast<const std::uint8_t*>(key.data()), key.size()), page);
}

CryptoApiAesCodec::CryptoApiAesCodec(ByteView baseHash, std::uint32_t keyBits,
                                     std::uint32_t encodingKey)
    : baseHash_(baseHash.begin(), baseHash.end()), keyBits_(keyBits), encodingKey_(encodingKey) {}

void CryptoApiAesCodec::Decode(std::uint32_t number, std::span<std::byte> page) const {
  const auto blockKey = LittleEndian32(number ^ encodingKey_);
  AesCipher(AesCipher::Mode::Ecb, CryptoApiAesKey(baseHash_, blockKey, keyBits_)).Decrypt({}, page);
}

void CryptoApiAesCodec::Encode(std::uint32_t number, std::span<std::byte> page) const {
  const auto blockKey = LittleEndian32(number ^ encodingKey_);
  AesCipher(AesCipher::Mode::Ecb, CryptoApiAesKey(baseHash_, blockKey, keyBits_)).Encrypt({}, page);
}

std::shared_ptr<const OfficeCodec> OpenOfficeCodec(const EncryptionInfo& info,
                                                   std::uint32_t encodingKey,
                                                   std::string_view password) {
  if (info.scheme == OfficeScheme::Unsupported)
    throw UnsupportedEncryptionError("the file is encrypted with " + info.description +
                                     ", which the reader does not decrypt");
  if (password.empty()) WrongPassword();
  const std::optional<std::u16string> units = ValidUtf8ToUtf16(password);
  if (!units) WrongPassword();
  const CryptoBytes bytes = PasswordBytes(*units);
  switch (info.scheme) {
    case OfficeScheme::Agile:
      return OpenAgile(*info.agile, encodingKey, bytes);
    case OfficeScheme::Rc4CryptoApi:
      return OpenRc4CryptoApi(info, encodingKey, bytes);
    case OfficeScheme::CryptoApiAesWithoutAesFlag:
      return OpenCryptoApiAes(info, encodingKey, bytes);
    case OfficeScheme::Unsupported:
      break;
  }
  throw UnsupportedEncryptionError("the file is encrypted with " + info.description);
}

}  // namespace corvid::jet::reader
