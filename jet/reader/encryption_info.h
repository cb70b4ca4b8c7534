// The encryption information an Office-encrypted ACE file keeps in the clear
// part of its header page: at 0x299 a 16-bit length, then that many bytes:
// 16-bit major and minor version, 32-bit flags, and either a CryptoAPI
// header with its password verifier or the agile XML descriptor.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "jet/reader/agile_descriptor.h"

namespace corvid::jet::reader {

inline constexpr std::size_t kEncryptionInfoOffset = 0x299;

// The flags of the information and of the CryptoAPI header.
inline constexpr std::uint32_t kFlagCryptoApi = 0x04;
inline constexpr std::uint32_t kFlagDocProps = 0x08;
inline constexpr std::uint32_t kFlagExternal = 0x10;
inline constexpr std::uint32_t kFlagAes = 0x20;

// Algorithm ids of the CryptoAPI header.
inline constexpr std::uint32_t kAlgorithmRc4 = 0x6801;
inline constexpr std::uint32_t kAlgorithmAes128 = 0x660E;
inline constexpr std::uint32_t kAlgorithmAes192 = 0x660F;
inline constexpr std::uint32_t kAlgorithmAes256 = 0x6610;
inline constexpr std::uint32_t kHashSha1 = 0x8004;

enum class OfficeScheme {
  Agile,         // version 4.4: the XML descriptor, AES-CBC pages
  Rc4CryptoApi,  // versions 2.2, 3.2, 4.2: CryptoAPI flag, RC4, SHA-1
  // Versions 2.2, 3.2, 4.2 with the CryptoAPI flag and an AES algorithm id
  // but without the AES flag: what Access writes for AES when its
  // compatibility mode is off. Keys as the standard AES scheme derives them,
  // without the 50,000 rounds of hashing; each page AES-ECB.
  CryptoApiAesWithoutAesFlag,
  Unsupported,  // anything else: `description` names it
};

struct CryptoApiHeader {
  std::uint32_t flags = 0;
  std::uint32_t algorithmId = 0;
  std::uint32_t hashId = 0;
  std::uint32_t keyBits = 0;  // 40 to 128 for RC4; 128, 192 or 256 for AES
  std::uint32_t providerType = 0;
};

struct CryptoApiVerifier {
  std::array<std::byte, 16> salt{};
  std::array<std::byte, 16> encryptedVerifier{};
  std::uint32_t verifierHashSize = 0;            // 20 (SHA-1)
  std::vector<std::byte> encryptedVerifierHash;  // 20 bytes for RC4, 32 for AES
};

struct EncryptionInfo {
  std::uint16_t major = 0;
  std::uint16_t minor = 0;
  std::uint32_t flags = 0;
  OfficeScheme scheme = OfficeScheme::Unsupported;
  // The scheme in words, with its version, flags and algorithms, e.g.
  // "RC4 CryptoAPI encryption (version 4.2, flags 0x0C, algorithm 0x6801, hash 0x8004, 128-bit
  // key)".
  std::string description;
  CryptoApiHeader cryptoApi;   // the CryptoAPI schemes
  CryptoApiVerifier verifier;  // the CryptoAPI schemes
  std::optional<AgileDescriptor> agile;
};

// Parses the information that follows the 16-bit length. A scheme the
// reader does not decrypt comes back as Unsupported with its description; a
// structure that does not fit its bytes (or a descriptor that does not
// parse) throws FormatError naming what is wrong.
EncryptionInfo ParseEncryptionInfo(std::span<const std::byte> info);

// The information of a header page (its length checked against the page).
EncryptionInfo ReadEncryptionInfo(std::span<const std::byte> headerPage);

// The scheme of a header page in words, for callers that only need to know
// (never throws: damage is described as such).
std::string DescribeEncryption(std::span<const std::byte> headerPage);

}  // namespace corvid::jet::reader
