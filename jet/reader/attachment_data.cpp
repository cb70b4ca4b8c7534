#include "jet/reader/attachment_data.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

#include "SrcLib/code_pages.h"

namespace corvid::jet::reader {
namespace {

constexpr std::size_t kPrefixSize = 8;          // flag, content length
constexpr std::uint32_t kFixedHeaderSize = 12;  // header length, unknown, extension length

std::uint32_t Le32(const std::byte* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

}  // namespace

struct AttachmentDataReader::State {
  Source source;
  DamageLocation where;
  std::string label;

  std::span<const std::byte> in;
  bool inputEnded = false;

  bool compressed = false;
  z_stream z{};
  bool zOpen = false;
  bool streamEnded = false;

  std::uint32_t contentLength = 0;
  std::uint64_t produced = 0;  // content bytes handed out so far, header included
  bool verified = false;

  std::string extension;
  std::uint64_t fileSize = 0;

  ~State() {
    if (zOpen) inflateEnd(&z);
  }

  [[noreturn]] void Fail(const std::string& problem) const {
    throw DamageError(label + ": " + problem, where);
  }

  bool FillInput() {
    if (in.empty() && !inputEnded) {
      in = source();
      if (in.empty()) inputEnded = true;
    }
    return !in.empty();
  }

  void ReadStored(std::byte* out, std::size_t n) {
    std::size_t got = 0;
    while (got < n) {
      if (!FillInput())
        Fail("the stored value ends after " + std::to_string(got) + " bytes, inside its " +
             std::to_string(kPrefixSize) + "-byte prefix");
      const std::size_t take = std::min(n - got, in.size());
      std::memcpy(out + got, in.data(), take);
      in = in.subspan(take);
      got += take;
    }
  }

  void Open() {
    std::array<std::byte, kPrefixSize> prefix{};
    ReadStored(prefix.data(), prefix.size());
    const std::uint32_t flag = Le32(prefix.data());
    contentLength = Le32(prefix.data() + 4);
    if (flag == 1) {
      compressed = true;
      if (inflateInit(&z) != Z_OK) Fail("zlib could not start inflating");
      zOpen = true;
    } else if (flag != 0) {
      Fail("its type flag is " + std::to_string(flag) + ", neither 0 (stored) nor 1 (compressed)");
    }
    if (contentLength < kFixedHeaderSize)
      Fail("its content of " + std::to_string(contentLength) + " bytes is shorter than the header");

    std::array<std::byte, kFixedHeaderSize> fixed{};
    ContentExact(fixed.data(), fixed.size());
    const std::uint32_t headerLength = Le32(fixed.data());
    const std::uint32_t extensionUnits = Le32(fixed.data() + 8);
    if (headerLength < kFixedHeaderSize || headerLength > contentLength)
      Fail("its header length " + std::to_string(headerLength) + " does not fit its content of " +
           std::to_string(contentLength) + " bytes");
    if (extensionUnits > kMaxExtensionUnits)
      Fail("its extension of " + std::to_string(extensionUnits) +
           " code units is longer than the " + std::to_string(kMaxExtensionUnits) +
           " an extension can have");
    if (kFixedHeaderSize + 2 * static_cast<std::uint64_t>(extensionUnits) > headerLength)
      Fail("its extension of " + std::to_string(extensionUnits) +
           " code units does not fit its header of " + std::to_string(headerLength) + " bytes");
    std::vector<std::byte> units(2 * static_cast<std::size_t>(extensionUnits));
    ContentExact(units.data(), units.size());
    std::size_t used = 0;  // up to the terminating zero
    while (used + 1 < units.size() &&
           (units[used] != std::byte{0} || units[used + 1] != std::byte{0}))
      used += 2;
    extension = Utf16LeToUtf8(std::span<const std::byte>(units).first(used));
    std::array<std::byte, 256> skip{};
    for (std::uint64_t left = headerLength - kFixedHeaderSize - units.size(); left > 0;) {
      const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, skip.size()));
      ContentExact(skip.data(), n);
      left -= n;
    }
    fileSize = contentLength - headerLength;
  }

  void ContentExact(std::byte* out, std::size_t n) {
    for (std::size_t got = 0; got < n;) {
      const std::size_t step = Content(std::span<std::byte>(out + got, n - got));
      if (step == 0) Fail("its content ends inside its header");
      got += step;
    }
  }

  // Fills `out` with content bytes, or up to the end of the content; 0
  // only at the end, once the stored value has been found to end there too.
  std::size_t Content(std::span<std::byte> out) {
    const std::uint64_t remaining = contentLength - produced;
    if (remaining == 0) {
      VerifyEnd();
      return 0;
    }
    out = out.first(static_cast<std::size_t>(std::min<std::uint64_t>(out.size(), remaining)));
    std::size_t total = 0;
    while (total < out.size()) {  // each step takes at least one byte or throws
      const std::size_t n = compressed ? Inflate(out.subspan(total)) : Copy(out.subspan(total));
      total += n;
      produced += n;
    }
    return total;
  }

  std::size_t Copy(std::span<std::byte> out) {
    if (!FillInput())
      Fail("it holds " + std::to_string(produced) + " of the " + std::to_string(contentLength) +
           " content bytes its length gives");
    const std::size_t n = std::min(out.size(), in.size());
    std::memcpy(out.data(), in.data(), n);
    in = in.subspan(n);
    return n;
  }

  // Inflates into `out` until at least one byte comes out.
  std::size_t Inflate(std::span<std::byte> out) {
    const std::size_t capacity =
        std::min<std::size_t>(out.size(), std::numeric_limits<uInt>::max());
    for (;;) {
      if (streamEnded)
        Fail("it inflates to " + std::to_string(produced) + " bytes, not the " +
             std::to_string(contentLength) + " its length gives");
      FillInput();
      const std::size_t feed = std::min<std::size_t>(in.size(), std::numeric_limits<uInt>::max());
      z.next_in = reinterpret_cast<Bytef*>(const_cast<std::byte*>(in.data()));
      z.avail_in = static_cast<uInt>(feed);
      z.next_out = reinterpret_cast<Bytef*>(out.data());
      z.avail_out = static_cast<uInt>(capacity);
      const int rc = inflate(&z, Z_NO_FLUSH);
      in = in.subspan(feed - z.avail_in);
      const std::size_t n = capacity - z.avail_out;
      if (rc == Z_STREAM_END)
        streamEnded = true;
      else if (rc == Z_BUF_ERROR) {
        if (inputEnded && in.empty() && n == 0)
          Fail("its zlib stream is cut short after " + std::to_string(produced) + " of " +
               std::to_string(contentLength) + " bytes");
      } else if (rc != Z_OK) {
        Fail(std::string("its zlib stream does not inflate (") +
             (z.msg ? z.msg : "error " + std::to_string(rc)) + ")");
      }
      if (n > 0) return n;
      if (!streamEnded && inputEnded && in.empty())
        Fail("its zlib stream is cut short after " + std::to_string(produced) + " of " +
             std::to_string(contentLength) + " bytes");
    }
  }

  // All content bytes are out: the stored value must end here as well.
  void VerifyEnd() {
    if (verified) return;
    if (!compressed) {
      if (FillInput())
        Fail("it stores more than the " + std::to_string(contentLength) +
             " content bytes its length gives");
    } else {
      std::byte probe{};
      while (!streamEnded) {
        FillInput();
        const std::size_t feed = std::min<std::size_t>(in.size(), std::numeric_limits<uInt>::max());
        z.next_in = reinterpret_cast<Bytef*>(const_cast<std::byte*>(in.data()));
        z.avail_in = static_cast<uInt>(feed);
        z.next_out = reinterpret_cast<Bytef*>(&probe);
        z.avail_out = 1;
        const int rc = inflate(&z, Z_NO_FLUSH);
        in = in.subspan(feed - z.avail_in);
        if (z.avail_out == 0)
          Fail("it inflates to more than the " + std::to_string(contentLength) +
               " bytes its length gives");
        if (rc == Z_STREAM_END)
          streamEnded = true;
        else if (rc != Z_OK && rc != Z_BUF_ERROR)
          Fail(std::string("its zlib stream does not inflate (") +
               (z.msg ? z.msg : "error " + std::to_string(rc)) + ")");
        else if (inputEnded && in.empty())
          Fail("its zlib stream is cut short after all " + std::to_string(contentLength) +
               " bytes");
      }
      // Bytes after the end of the stream are padding and are not read.
    }
    verified = true;
  }
};

AttachmentDataReader::AttachmentDataReader(Source source, DamageLocation where, std::string label)
    : state_(std::make_unique<State>()) {
  state_->source = std::move(source);
  state_->where = std::move(where);
  state_->label = std::move(label);
  state_->Open();
}

AttachmentDataReader::~AttachmentDataReader() = default;
AttachmentDataReader::AttachmentDataReader(AttachmentDataReader&&) noexcept = default;
AttachmentDataReader& AttachmentDataReader::operator=(AttachmentDataReader&&) noexcept = default;

bool AttachmentDataReader::Compressed() const { return state_->compressed; }
const std::string& AttachmentDataReader::Extension() const { return state_->extension; }
std::uint64_t AttachmentDataReader::Size() const { return state_->fileSize; }

std::size_t AttachmentDataReader::Read(std::span<std::byte> out) {
  if (out.empty()) return 0;
  return state_->Content(out);
}

void AttachmentDataReader::ReadAll(const std::function<void(std::span<const std::byte>)>& sink) {
  std::vector<std::byte> buffer(64 * 1024);
  for (std::size_t n = Read(buffer); n > 0; n = Read(buffer))
    sink(std::span<const std::byte>(buffer).first(n));
}

std::vector<std::byte> DecodeAttachmentData(std::span<const std::byte> stored,
                                            const DamageLocation& where, const std::string& label) {
  bool handed = false;
  AttachmentDataReader reader(
      [&]() -> std::span<const std::byte> {
        if (handed) return {};
        handed = true;
        return stored;
      },
      where, label);
  std::vector<std::byte> file;
  file.reserve(
      static_cast<std::size_t>(std::min<std::uint64_t>(reader.Size(), stored.size() * 4 + 4096)));
  reader.ReadAll([&file](std::span<const std::byte> piece) {
    file.insert(file.end(), piece.begin(), piece.end());
  });
  return file;
}

}  // namespace corvid::jet::reader
