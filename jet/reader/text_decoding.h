// Text as stored in a database, as UTF-8. Jet 3 stores a code page's bytes
// (Windows-1252 unless CORVID_JET3_CHARSET or MDB_JET3_CHARSET names another
// code page); Jet 4 and ACE store UTF-16LE, or the compressed form that
// starts with FF FE and switches between one byte per character and two at
// every zero byte.
#pragma once

#include <memory>
#include <span>
#include <string>

#include "jet/jet_format.h"

namespace corvid::jet::reader {

class TextDecoder {
 public:
  // Jet 3 files read the code page from the environment once, here.
  explicit TextDecoder(JetFormat version);
  ~TextDecoder();
  TextDecoder(const TextDecoder&) = delete;
  TextDecoder& operator=(const TextDecoder&) = delete;

  // Never fails: bytes that do not decode become U+FFFD.
  std::string Decode(std::span<const std::byte> stored) const;

  // The code page Jet 3 text is read in ("" for Jet 4 / ACE).
  const std::string& CodePage() const { return codePage_; }

 private:
  std::string DecodeCodePage(std::span<const std::byte> stored) const;

  bool unicode_;
  std::string codePage_;
  struct Converter;
  std::unique_ptr<Converter> converter_;  // iconv, for code pages other than Windows-1252
};

}  // namespace corvid::jet::reader
