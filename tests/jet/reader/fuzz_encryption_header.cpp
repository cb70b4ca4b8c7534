// libFuzzer target: the encryption information of an Office-encrypted
// header page (the bytes after its 16-bit length): the CryptoAPI header and
// verifier, the agile XML descriptor, and, where the scheme is one the
// reader decrypts, the password check and one page through the codec. Any
// JetError is an answer; a crash, a hang or a leak is a fault.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "jet/reader/encryption_info.h"
#include "jet/reader/errors.h"
#include "jet/reader/office_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace corvid::jet::reader;
  const std::span bytes(reinterpret_cast<const std::byte*>(data), size);

  // The information as a header page holds it: length at 0x299, cut to the page.
  std::vector<std::byte> page(4096);
  const std::size_t length = std::min(size, page.size() - kEncryptionInfoOffset - 2);
  page[kEncryptionInfoOffset] = std::byte(length);
  page[kEncryptionInfoOffset + 1] = std::byte(length >> 8);
  std::copy_n(bytes.begin(), length, page.begin() + kEncryptionInfoOffset + 2);
  (void)DescribeEncryption(page);

  try {
    const EncryptionInfo info = ParseEncryptionInfo(bytes);
    // Deriving a key costs one hash per spin; keep the runs short.
    if (info.agile && info.agile->spinCount > 2000) return 0;
    auto codec = OpenOfficeCodec(info, 0x12345678u, "password");
    std::vector<std::byte> sample(4096, std::byte{0x5A});
    codec->Decode(1, sample);
    codec->Encode(1, sample);
  } catch (const JetError&) {
  }
  return 0;
}
