// Turns a page as stored into the page as laid out, right after it is read.
// The header page (page 0) never passes through a codec. Encrypted formats
// plug in here; a clear file uses the identity.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

namespace corvid::jet::reader {

class PageCodec {
 public:
  virtual ~PageCodec() = default;
  // Decodes page `number` (never 0) in place.
  virtual void Decode(std::uint32_t number, std::span<std::byte> page) const = 0;
};

class IdentityCodec final : public PageCodec {
 public:
  void Decode(std::uint32_t, std::span<std::byte>) const override {}
};

// Jet 3 and Jet 4 files "encoded" without a password: every page is RC4
// under (database key XOR page number), four bytes little-endian.
class DatabaseKeyCodec final : public PageCodec {
 public:
  explicit DatabaseKeyCodec(std::uint32_t databaseKey) : key_(databaseKey) {}
  void Decode(std::uint32_t number, std::span<std::byte> page) const override;

 private:
  std::uint32_t key_;
};

}  // namespace corvid::jet::reader
