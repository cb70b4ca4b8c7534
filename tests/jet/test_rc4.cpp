// RC4 against the published test vectors of RFC 6229 (keystream bytes at
// offset 0, i.e. the cipher applied to zeros).
#include "jet/rc4.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace corvid::jet {
namespace {

std::vector<std::byte> Bytes(std::initializer_list<unsigned> values) {
  std::vector<std::byte> out;
  for (unsigned v : values) out.push_back(static_cast<std::byte>(v));
  return out;
}

TEST(Rc4, KeystreamMatchesRfc6229) {
  struct Case {
    std::vector<std::uint8_t> key;
    std::vector<std::byte> keystream;
  } cases[] = {
      {{0x01, 0x02, 0x03, 0x04, 0x05},  // 40-bit key, offsets 0 and 16
       Bytes({0xb2, 0x39, 0x63, 0x05, 0xf0, 0x3d, 0xc0, 0x27, 0xcc, 0xc3, 0x52,
              0x4a, 0x0a, 0x11, 0x18, 0xa8, 0x69, 0x82, 0x94, 0x4f, 0x18, 0xfc,
              0x82, 0xd5, 0x89, 0xc4, 0x03, 0xa4, 0x7a, 0x0d, 0x09, 0x19})},
      {{0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0a, 0x0b, 0x0c, 0x0d, 0x0e, 0x0f,
        0x10},  // 128-bit key
       Bytes({0x9a, 0xc7, 0xcc, 0x9a, 0x60, 0x9d, 0x1e, 0xf7, 0xb2, 0x93, 0x28, 0x99, 0xcd, 0xe4,
              0x1b, 0x97})},
  };
  for (const Case& c : cases) {
    std::vector<std::byte> data(c.keystream.size(), std::byte{0});
    ApplyRc4(c.key, data);
    EXPECT_EQ(data, c.keystream) << "key of " << c.key.size() << " bytes";
  }
}

TEST(Rc4, ApplyingTwiceRestoresTheData) {
  const std::vector<std::uint8_t> key{0xC7, 0xDA, 0x39, 0x6B};
  std::vector<std::byte> data = Bytes({'S', 't', 'a', 'n', 'd', 'a', 'r', 'd', 0x00, 0xFF});
  const auto original = data;
  ApplyRc4(key, data);
  EXPECT_NE(data, original);
  ApplyRc4(key, data);
  EXPECT_EQ(data, original);
}

}  // namespace
}  // namespace corvid::jet
