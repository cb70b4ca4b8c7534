// The XML descriptor of agile encryption: the parameters of the data key
// (keyData) and of the password key encryptor (salt, spin count, the
// encrypted verifier and the encrypted data key). Read with libxml2, which
// prints nothing and fetches nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace corvid::jet::reader {

struct AgileKeyParameters {
  std::uint32_t saltSize = 0;
  std::uint32_t blockSize = 0;
  std::uint32_t keyBits = 0;
  std::uint32_t hashSize = 0;
  std::string cipherAlgorithm;  // "AES"
  std::string cipherChaining;   // "ChainingModeCBC"
  std::string hashAlgorithm;    // "SHA1", "SHA512", ...
  std::vector<std::byte> salt;
};

struct AgileDescriptor {
  AgileKeyParameters keyData;
  AgileKeyParameters passwordKey;  // of the password key encryptor
  std::uint32_t spinCount = 0;
  std::vector<std::byte> encryptedVerifierHashInput;
  std::vector<std::byte> encryptedVerifierHashValue;
  std::vector<std::byte> encryptedKeyValue;
};

// The largest spin count a descriptor may give.
inline constexpr std::uint32_t kMaxSpinCount = 10'000'000;

// Parses the descriptor. Throws FormatError when the XML does not parse, an
// element or attribute is missing, a number or base64 value is malformed,
// or a length contradicts another; UnsupportedEncryptionError when the
// file's key can only be opened with a certificate.
AgileDescriptor ParseAgileDescriptor(std::span<const std::byte> xml);

// Decodes base64 (whitespace allowed); nothing when it is malformed.
bool DecodeBase64(std::string_view text, std::vector<std::byte>& out);

}  // namespace corvid::jet::reader
