#include "tools/damage_probe/mutations.h"

#include <algorithm>
#include <cstdio>
#include <random>

namespace corvid::damage_probe {
namespace {

constexpr std::uint8_t kDataPage = 0x01;
constexpr std::uint8_t kTableDefinitionPage = 0x02;
constexpr std::uint32_t kCatalogDefinitionPage = 2;  // MSysObjects

std::string Hex(unsigned value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%02x", value);
  return text;
}

std::uint32_t ReadU32(const std::vector<std::byte>& image, std::size_t offset) {
  if (offset + 4 > image.size()) return 0;
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i)
    value |= std::to_integer<std::uint32_t>(image[offset + i]) << (8 * i);
  return value;
}

class Mutator {
 public:
  Mutator(std::vector<std::byte>& image, std::uint64_t seed)
      : image_(image),
        random_(seed),
        pageSize_(PageSizeOf(image)),
        pages_(image.size() / pageSize_) {}

  std::string Apply() {
    if (pages_ < 3) return CutMidPage();
    switch (Pick(7)) {
      case 0:
        return FlipPage();
      case 1:
        return ZeroPage();
      case 2:
        return DuplicatePage();
      case 3:
        return CutAtPage();
      case 4:
        return CutMidPage();
      case 5:
        return ChangeByteOf("catalog", CatalogPages());
      default:
        return ChangeByteOf("table definition", DefinitionPages());
    }
  }

 private:
  std::size_t Pick(std::size_t count) {
    return std::uniform_int_distribution<std::size_t>(0, count - 1)(random_);
  }
  // A page other than the header page.
  std::size_t SomePage() { return 1 + Pick(pages_ - 1); }
  std::byte* Page(std::size_t page) { return image_.data() + page * pageSize_; }

  std::string FlipPage() {
    const std::size_t page = SomePage();
    const auto mask = static_cast<unsigned>(1 + Pick(255));
    std::byte* bytes = Page(page);
    for (std::size_t i = 0; i < pageSize_; ++i) bytes[i] ^= static_cast<std::byte>(mask);
    return "flip page " + std::to_string(page) + " (xor " + Hex(mask) + ")";
  }

  std::string ZeroPage() {
    const std::size_t page = SomePage();
    std::fill_n(Page(page), pageSize_, std::byte{0});
    return "zero page " + std::to_string(page);
  }

  std::string DuplicatePage() {
    const std::size_t from = SomePage();
    std::size_t onto = SomePage();
    if (onto == from) onto = from + 1 < pages_ ? from + 1 : 1;
    std::copy_n(Page(from), pageSize_, Page(onto));
    return "copy page " + std::to_string(from) + " onto page " + std::to_string(onto);
  }

  std::string CutAtPage() {
    const std::size_t page = SomePage();
    image_.resize(page * pageSize_);
    return "cut at page " + std::to_string(page) + " (" + std::to_string(image_.size()) + " bytes)";
  }

  std::string CutMidPage() {
    const std::size_t page = pages_ > 1 ? SomePage() : 0;
    const std::size_t length = page * pageSize_ + 1 + Pick(pageSize_ - 1);
    image_.resize(std::min(length, image_.size()));
    return "cut inside page " + std::to_string(page) + " (" + std::to_string(image_.size()) +
           " bytes)";
  }

  // The data pages of the catalog: data pages owned by its definition.
  std::vector<std::size_t> CatalogPages() {
    std::vector<std::size_t> pages;
    for (std::size_t page = 1; page < pages_; ++page)
      if (std::to_integer<std::uint8_t>(*Page(page)) == kDataPage &&
          ReadU32(image_, page * pageSize_ + 4) == kCatalogDefinitionPage)
        pages.push_back(page);
    return pages;
  }

  std::vector<std::size_t> DefinitionPages() {
    std::vector<std::size_t> pages;
    for (std::size_t page = 1; page < pages_; ++page)
      if (std::to_integer<std::uint8_t>(*Page(page)) == kTableDefinitionPage) pages.push_back(page);
    return pages;
  }

  // One byte of one of `pages` (of any page when there are none) set to
  // another value.
  std::string ChangeByteOf(const std::string& what, const std::vector<std::size_t>& pages) {
    const std::size_t page = pages.empty() ? SomePage() : pages[Pick(pages.size())];
    const std::size_t offset = Pick(pageSize_);
    std::byte& target = Page(page)[offset];
    const auto before = std::to_integer<unsigned>(target);
    const auto after = static_cast<unsigned>((before + 1 + Pick(255)) & 0xFF);
    target = static_cast<std::byte>(after);
    return (pages.empty() ? "byte of page " : what + " page ") + std::to_string(page) + " offset " +
           std::to_string(offset) + ": " + Hex(before) + " -> " + Hex(after);
  }

  std::vector<std::byte>& image_;
  std::mt19937_64 random_;
  std::size_t pageSize_;
  std::size_t pages_;
};

}  // namespace

std::size_t PageSizeOf(const std::vector<std::byte>& image) {
  return image.size() > 0x14 && std::to_integer<std::uint8_t>(image[0x14]) == 0 ? 2048 : 4096;
}

std::string Mutate(std::vector<std::byte>& image, std::uint64_t seed) {
  return Mutator(image, seed).Apply();
}

}  // namespace corvid::damage_probe
