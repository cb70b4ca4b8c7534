#include "jet/reader/encryption_info.h"

#include <algorithm>
#include <cstdio>

#include "jet/reader/errors.h"

namespace corvid::jet::reader {
namespace {

[[noreturn]] void Damaged(const std::string& what) {
  throw FormatError("the encryption header is damaged: " + what);
}

// Little-endian reads over the information, each checked against its end.
class InfoCursor {
 public:
  explicit InfoCursor(std::span<const std::byte> bytes) : bytes_(bytes) {}

  std::span<const std::byte> Take(std::size_t count, const char* what) {
    if (count > bytes_.size() - at_)
      Damaged(std::string(what) + " needs " + std::to_string(count) + " bytes at byte " +
              std::to_string(at_) + " of " + std::to_string(bytes_.size()));
    const auto part = bytes_.subspan(at_, count);
    at_ += count;
    return part;
  }
  std::uint16_t U16(const char* what) {
    const auto b = Take(2, what);
    return static_cast<std::uint16_t>(static_cast<unsigned>(b[0]) | static_cast<unsigned>(b[1])
                                                                        << 8);
  }
  std::uint32_t U32(const char* what) {
    const auto b = Take(4, what);
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
      v = v << 8 | static_cast<std::uint32_t>(b[static_cast<std::size_t>(i)]);
    return v;
  }
  std::span<const std::byte> Rest() { return Take(bytes_.size() - at_, "the rest"); }

 private:
  std::span<const std::byte> bytes_;
  std::size_t at_ = 0;
};

std::string Hex(std::uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", digits, value);
  return text;
}

std::string Version(const EncryptionInfo& info) {
  return "version " + std::to_string(info.major) + "." + std::to_string(info.minor);
}

std::string CryptoApiDetails(const EncryptionInfo& info) {
  const CryptoApiHeader& h = info.cryptoApi;
  return " (" + Version(info) + ", flags " + Hex(info.flags, 2) + ", algorithm " +
         Hex(h.algorithmId, 4) + ", hash " + Hex(h.hashId, 4) + ", " + std::to_string(h.keyBits) +
         "-bit key)";
}

bool IsAesId(std::uint32_t id) {
  return id == kAlgorithmAes128 || id == kAlgorithmAes192 || id == kAlgorithmAes256;
}

std::uint32_t AesKeyBits(std::uint32_t id) {
  return id == kAlgorithmAes128 ? 128 : id == kAlgorithmAes192 ? 192 : 256;
}

std::size_t DigestSize(const std::string& name) {
  if (name == "SHA1") return 20;
  if (name == "SHA512") return 64;
  return 0;  // not one the reader uses
}

bool SupportedAgileParameters(const AgileKeyParameters& p) {
  return p.cipherAlgorithm == "AES" && p.cipherChaining == "ChainingModeCBC" &&
         DigestSize(p.hashAlgorithm) != 0 &&
         (p.keyBits == 128 || p.keyBits == 192 || p.keyBits == 256) && p.blockSize == 16;
}

std::string AgileParameters(const AgileKeyParameters& p) {
  return p.cipherAlgorithm + "-" + std::to_string(p.keyBits) + " " + p.cipherChaining + ", " +
         p.hashAlgorithm;
}

void ParseAgile(EncryptionInfo& info, InfoCursor& cursor) {
  if (info.flags != 0x40)
    Damaged("agile encryption information has the reserved value " + Hex(info.flags, 2));
  AgileDescriptor d = ParseAgileDescriptor(cursor.Rest());
  info.description = "agile encryption (" + Version(info) + ", data " + AgileParameters(d.keyData) +
                     "; password key " + AgileParameters(d.passwordKey) + ")";
  if (!SupportedAgileParameters(d.keyData) || !SupportedAgileParameters(d.passwordKey)) {
    info.scheme = OfficeScheme::Unsupported;
    return;
  }
  for (const AgileKeyParameters* p : {&d.keyData, &d.passwordKey}) {
    if (p->hashSize != DigestSize(p->hashAlgorithm))
      Damaged("hashSize " + std::to_string(p->hashSize) + " does not match " + p->hashAlgorithm);
    if (p->saltSize == 0 || p->saltSize > 64)
      Damaged("saltSize " + std::to_string(p->saltSize) + " is out of range");
  }
  const std::size_t block = d.passwordKey.blockSize;
  auto fits = [&](const std::vector<std::byte>& value, std::size_t needed, const char* name) {
    if (value.size() % block != 0 || value.size() < needed)
      Damaged(std::string(name) + " has " + std::to_string(value.size()) + " bytes; " +
              std::to_string(needed) + " in whole blocks of " + std::to_string(block) +
              " are needed");
  };
  fits(d.encryptedVerifierHashInput, d.passwordKey.saltSize, "encryptedVerifierHashInput");
  fits(d.encryptedVerifierHashValue, d.passwordKey.hashSize, "encryptedVerifierHashValue");
  fits(d.encryptedKeyValue, d.keyData.keyBits / 8, "encryptedKeyValue");
  info.scheme = OfficeScheme::Agile;
  info.agile = std::move(d);
}

void ParseCryptoApi(EncryptionInfo& info, InfoCursor& cursor) {
  const std::uint32_t headerSize = cursor.U32("the header size");
  InfoCursor header(cursor.Take(headerSize, "the CryptoAPI header"));
  CryptoApiHeader& h = info.cryptoApi;
  h.flags = header.U32("the header flags");
  header.U32("the extra size");
  h.algorithmId = header.U32("the algorithm id");
  h.hashId = header.U32("the hash id");
  h.keyBits = header.U32("the key size");
  h.providerType = header.U32("the provider type");
  header.Take(8, "the reserved fields");  // the provider name follows; nothing depends on it

  const std::uint32_t flags = info.flags;
  const char* name = "CryptoAPI encryption";
  info.scheme = OfficeScheme::Unsupported;
  if ((flags & kFlagExternal) != 0) {
    name = "extensible encryption";
  } else if ((flags & kFlagCryptoApi) == 0) {
    name = "encryption without the CryptoAPI flag";
  } else if ((flags & kFlagAes) != 0) {
    name = "AES standard encryption";
  } else if ((h.algorithmId == kAlgorithmRc4 || h.algorithmId == 0) &&
             (h.hashId == kHashSha1 || h.hashId == 0)) {
    name = "RC4 CryptoAPI encryption";
    if (h.keyBits >= 40 && h.keyBits <= 128 && h.keyBits % 8 == 0)
      info.scheme = OfficeScheme::Rc4CryptoApi;
  } else if (IsAesId(h.algorithmId) && h.hashId == kHashSha1) {
    name = "CryptoAPI encryption with an AES algorithm but without the AES flag";
    if (h.keyBits == AesKeyBits(h.algorithmId))
      info.scheme = OfficeScheme::CryptoApiAesWithoutAesFlag;
  }
  info.description = name + CryptoApiDetails(info);
  if (info.scheme == OfficeScheme::Unsupported) return;

  CryptoApiVerifier& v = info.verifier;
  const std::uint32_t saltSize = cursor.U32("the salt size");
  if (saltSize != v.salt.size())
    Damaged("the salt size is " + std::to_string(saltSize) + ", not 16");
  std::ranges::copy(cursor.Take(v.salt.size(), "the salt"), v.salt.begin());
  std::ranges::copy(cursor.Take(v.encryptedVerifier.size(), "the encrypted verifier"),
                    v.encryptedVerifier.begin());
  v.verifierHashSize = cursor.U32("the verifier hash size");
  if (v.verifierHashSize != 20)
    Damaged("the verifier hash size is " + std::to_string(v.verifierHashSize) + ", not 20");
  const std::size_t hashBytes = info.scheme == OfficeScheme::Rc4CryptoApi ? 20 : 32;
  const auto hash = cursor.Take(hashBytes, "the encrypted verifier hash");
  v.encryptedVerifierHash.assign(hash.begin(), hash.end());
}

}  // namespace

EncryptionInfo ParseEncryptionInfo(std::span<const std::byte> bytes) {
  InfoCursor cursor(bytes);
  EncryptionInfo info;
  info.major = cursor.U16("the major version");
  info.minor = cursor.U16("the minor version");
  if (info.major == 4 && info.minor == 4) {
    info.flags = cursor.U32("the flags");
    ParseAgile(info, cursor);
  } else if ((info.major == 3 || info.major == 4) && info.minor == 3) {
    info.description = "extensible encryption (" + Version(info) + ")";
  } else if (info.major == 1 && info.minor == 1) {
    info.description = "RC4 encryption without CryptoAPI (" + Version(info) + ")";
  } else if (info.major >= 2 && info.major <= 4 && info.minor == 2) {
    info.flags = cursor.U32("the flags");
    ParseCryptoApi(info, cursor);
  } else {
    info.description = "Office encryption of an unknown kind (" + Version(info) + ")";
  }
  return info;
}

EncryptionInfo ReadEncryptionInfo(std::span<const std::byte> headerPage) {
  if (headerPage.size() < kEncryptionInfoOffset + 2) Damaged("the header page is cut short");
  const std::size_t length = static_cast<std::size_t>(headerPage[kEncryptionInfoOffset]) |
                             static_cast<std::size_t>(headerPage[kEncryptionInfoOffset + 1]) << 8;
  const std::size_t start = kEncryptionInfoOffset + 2;
  if (length > headerPage.size() - start)
    Damaged("its length " + std::to_string(length) + " runs past the header page");
  return ParseEncryptionInfo(headerPage.subspan(start, length));
}

std::string DescribeEncryption(std::span<const std::byte> headerPage) {
  try {
    return ReadEncryptionInfo(headerPage).description;
  } catch (const JetError& e) {
    return std::string("Office encryption whose header cannot be read (") + e.what() + ")";
  }
}

}  // namespace corvid::jet::reader
