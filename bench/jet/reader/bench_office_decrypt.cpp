// Decryption throughput of an agile-encrypted file (AES-256-CBC, SHA-512)
// made by the project: a writer-made database's pages encrypted page by page
// with the agile codec's Encode, behind the header page of the encrypted
// fixture (its descriptor, password "password"), 256 MiB in all. Measured in
// the same run:
// - open + every page read through the reader's page source and codec,
// - every page read through the page source and codec (open excluded),
// - every page of the same file unencrypted (the page source alone),
// - the open alone (the password check: the descriptor's 100,000 rounds),
// - the codec alone over the bytes in memory,
// - plain AES-256-CBC with libcrypto over the same bytes in memory.
// The end of the run prints the ratios of the reader's times to plain AES.

#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "jet/mdb_writer.h"
#include "jet/reader/database.h"
#include "jet/reader/encryption_info.h"
#include "jet/reader/header_page.h"
#include "jet/reader/office_codec.h"

namespace {

namespace w = corvid::jet;
namespace jet = corvid::jet::reader;

constexpr std::size_t kPageSize = 4096;
constexpr std::size_t kFileSize = std::size_t{256} << 20;
constexpr const char* kPassword = "password";

std::string ScratchPath(const std::string& name) {
  const char* dir = std::getenv("TMPDIR");
  return (std::filesystem::path(dir && *dir ? dir : "/tmp") / name).string();
}

std::vector<std::byte> ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto* first = reinterpret_cast<const std::byte*>(bytes.data());
  return std::vector<std::byte>(first, first + bytes.size());
}

// A plain database of about 64 MiB: OLE values of 200 KB and small rows.
std::vector<std::byte> PlainWriterFile() {
  const std::string path = ScratchPath("corvid-bench-office-plain.mdb");
  std::filesystem::remove(path);
  {
    w::MdbWriter writer(path);
    auto& table = writer.AddTable(
        {"Pictures", {{"id", w::ColumnType::Long}, {"img", w::ColumnType::OleObject}}});
    std::vector<std::byte> blob(200 * 1024);
    std::mt19937 random(11);
    for (auto& b : blob) b = std::byte(random() & 0xFF);
    for (int i = 0; i < 320; ++i) {
      blob[0] = std::byte(i & 0xFF);
      table.AddRow({std::int64_t{i}, w::ByteView{blob}});
    }
    writer.Finish();
  }
  std::vector<std::byte> bytes = ReadWhole(path);
  std::filesystem::remove(path);
  return bytes;
}

struct EncryptedFile {
  std::string path;
  std::string clearPath;         // the same pages unencrypted, behind the writer's header page
  std::vector<std::byte> image;  // the file's bytes, for the plain AES run
  std::vector<std::byte> dataKey;
};

const EncryptedFile& TheFile() {
  static const EncryptedFile file = [] {
    EncryptedFile f;
    f.path = ScratchPath("corvid-bench-office-agile.accdb");
    const std::vector<std::byte> fixture =
        ReadWhole(std::string(CORVID_FIXTURES_DIR) + "/mdb/office-agile-4.4.accdb");
    const std::span header(fixture.data(), kPageSize);
    const jet::HeaderPage parsed = jet::ParseHeaderPage(header);
    const auto codec =
        jet::OpenOfficeCodec(jet::ReadEncryptionInfo(header), parsed.databaseKey, kPassword);
    const std::vector<std::byte> plain = PlainWriterFile();
    const std::size_t plainPages = plain.size() / kPageSize;

    f.image.resize(kFileSize);
    std::copy(header.begin(), header.end(), f.image.begin());
    for (std::size_t n = 1; n < kFileSize / kPageSize; ++n) {
      const std::size_t from =
          1 + (n - 1) % (plainPages - 1);  // the writer's pages after its header, over again
      const std::span page(f.image.data() + n * kPageSize, kPageSize);
      std::copy_n(plain.begin() + static_cast<std::ptrdiff_t>(from * kPageSize), kPageSize,
                  page.begin());
      codec->Encode(static_cast<std::uint32_t>(n), page);
    }
    {
      std::ofstream clear(f.clearPath = ScratchPath("corvid-bench-office-clear.mdb"),
                          std::ios::binary | std::ios::trunc);
      for (std::size_t n = 0; n < kFileSize / kPageSize; ++n) {
        const std::size_t from = n == 0 ? 0 : 1 + (n - 1) % (plainPages - 1);
        clear.write(reinterpret_cast<const char*>(plain.data() + from * kPageSize), kPageSize);
      }
    }
    std::ofstream(f.path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(f.image.data()),
               static_cast<std::streamsize>(f.image.size()));

    // The reader must give back the writer's pages exactly.
    jet::Database db =
        jet::Database::Open(f.path, jet::OpenOptions{.cachePages = 16, .password = kPassword});
    for (std::size_t n : {std::size_t{1}, std::size_t{2}, plainPages, kFileSize / kPageSize - 1}) {
      const std::size_t from = 1 + (n - 1) % (plainPages - 1);
      const jet::PagePtr page = db.Pages().Read(static_cast<std::uint32_t>(n));
      if (!std::equal(page->begin(), page->end(),
                      plain.begin() + static_cast<std::ptrdiff_t>(from * kPageSize)))
        throw std::runtime_error("page " + std::to_string(n) +
                                 " does not decrypt to the writer's page");
    }
    f.dataKey.assign(32, std::byte{0x42});  // the plain run's key: any key costs the same
    return f;
  }();
  return file;
}

std::map<std::string, double> secondsPerRun;

void Record(benchmark::State& state, const std::string& name, double seconds, std::size_t bytes) {
  secondsPerRun[name] = seconds / static_cast<double>(state.iterations());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(bytes));
}

std::size_t ReadEveryPage(jet::Database& db) {
  std::size_t checksum = 0;
  const std::uint32_t pages = db.Pages().PageCount();
  for (std::uint32_t n = 1; n < pages; ++n)
    checksum += static_cast<std::size_t>(db.Pages().Read(n)->at(100));
  return checksum;
}

void BM_OpenAndReadEveryPage(benchmark::State& state) {
  const EncryptedFile& f = TheFile();
  double seconds = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    jet::Database db =
        jet::Database::Open(f.path, jet::OpenOptions{.cachePages = 16, .password = kPassword});
    benchmark::DoNotOptimize(ReadEveryPage(db));
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  Record(state, "open + every page", seconds, kFileSize - kPageSize);
}

void BM_ReadEveryPage(benchmark::State& state) {
  const EncryptedFile& f = TheFile();
  jet::Database db =
      jet::Database::Open(f.path, jet::OpenOptions{.cachePages = 16, .password = kPassword});
  double seconds = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(ReadEveryPage(db));
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  Record(state, "every page", seconds, kFileSize - kPageSize);
}

// The same pages of the clear file: what the page source costs without a codec.
void BM_ReadEveryPageClear(benchmark::State& state) {
  const EncryptedFile& f = TheFile();
  jet::Database db = jet::Database::Open(f.clearPath, jet::OpenOptions{.cachePages = 16});
  double seconds = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(ReadEveryPage(db));
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  Record(state, "every page of the clear file", seconds, kFileSize - kPageSize);
}

void BM_OpenOnly(benchmark::State& state) {
  const EncryptedFile& f = TheFile();
  for (auto _ : state) {
    jet::Database db =
        jet::Database::Open(f.path, jet::OpenOptions{.cachePages = 16, .password = kPassword});
    benchmark::DoNotOptimize(db.Header().pageSize);
  }
}

// The codec alone over the same bytes in memory (no page source, no reads).
void BM_CodecAlone(benchmark::State& state) {
  const EncryptedFile& f = TheFile();
  const std::span header(f.image.data(), kPageSize);
  const auto codec = jet::OpenOfficeCodec(jet::ReadEncryptionInfo(header),
                                          jet::ParseHeaderPage(header).databaseKey, kPassword);
  std::vector<std::byte> work(f.image.begin() + kPageSize, f.image.end());
  double seconds = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t n = 1; n < kFileSize / kPageSize; ++n)
      codec->Decode(static_cast<std::uint32_t>(n),
                    std::span(work.data() + (n - 1) * kPageSize, kPageSize));
    benchmark::DoNotOptimize(work.data());
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  Record(state, "codec alone", seconds, work.size());
}

void BM_PlainAesCbc(benchmark::State& state) {
  const EncryptedFile& f = TheFile();
  std::vector<std::byte> work(f.image.begin() + kPageSize, f.image.end());
  const unsigned char iv[16] = {};
  double seconds = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_DecryptInit_ex(ctx, EVP_aes_256_cbc(), nullptr,
                       reinterpret_cast<const unsigned char*>(f.dataKey.data()), iv);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    int written = 0;
    auto* bytes = reinterpret_cast<unsigned char*>(work.data());
    EVP_DecryptUpdate(ctx, bytes, &written, bytes, static_cast<int>(work.size()));
    EVP_CIPHER_CTX_free(ctx);
    benchmark::DoNotOptimize(work.data());
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  Record(state, "plain AES-CBC", seconds, work.size());
}

BENCHMARK(BM_OpenOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenAndReadEveryPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadEveryPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadEveryPageClear)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CodecAlone)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainAesCbc)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  const auto plain = secondsPerRun.find("plain AES-CBC");
  if (plain != secondsPerRun.end()) {
    const double mb = static_cast<double>(kFileSize - kPageSize) / 1e6;
    std::printf("plain AES-CBC: %.1f ms, %.0f MB/s\n", plain->second * 1e3, mb / plain->second);
    for (const char* what :
         {"open + every page", "every page", "every page of the clear file", "codec alone"}) {
      const auto ours = secondsPerRun.find(what);
      if (ours == secondsPerRun.end()) continue;
      std::printf("%s: %.1f ms, %.0f MB/s, over plain AES-CBC %.2f\n", what, ours->second * 1e3,
                  mb / ours->second, ours->second / plain->second);
    }
  }
  std::filesystem::remove(ScratchPath("corvid-bench-office-agile.accdb"));
  std::filesystem::remove(ScratchPath("corvid-bench-office-clear.mdb"));
  return 0;
}
