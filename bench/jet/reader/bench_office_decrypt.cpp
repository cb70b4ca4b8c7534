// Decryption throughput of an agile-encrypted file (AES-256-CBC, SHA-512)
// made by the project: a writer-made database's pages encrypted page by page
// with the agile codec's Encode, behind the header page of the encrypted
// fixture (its descriptor, password "password", spin count 100,000), 256 MiB
// in all. Before anything is timed, every page the reader gives back is
// compared with the writer's page. Measured in the same run, each the best
// of its iterations (wall clock and the thread's CPU time):
// - plain AES-256-CBC with libcrypto over the same bytes in memory,
// - the codec alone over those bytes in memory,
// - every page read through the reader's page source and codec,
// - open + every page (what opening and reading the whole file costs),
// and, to show where the time beyond AES goes:
// - the open alone and the password's iterated hash alone,
// - the per-page IV hashes alone,
// - the file's bytes read into page buffers alone (the system calls),
// - every page of the same file unencrypted (the page source alone).
// The end of the run prints the throughputs, the ratios to plain AES and the
// cost per page of each part.

#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <time.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
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
#include "jet/reader/office_crypto.h"
#include "jet/reader/page_source.h"

namespace {

namespace w = corvid::jet;
namespace jet = corvid::jet::reader;

constexpr std::size_t kPageSize = 4096;
constexpr std::size_t kFileSize = std::size_t{256} << 20;
constexpr const char* kPassword = "password";

// The page cache of the runs: the program's default unless --cache_pages=N
// is given (the read-ahead is at most half the cache).
std::size_t cachePages = jet::PageSource::kDefaultCachePages;

jet::OpenOptions Options() {
  return jet::OpenOptions{.cachePages = cachePages, .password = kPassword};
}

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

    // The reader must give back the writer's pages exactly, every one of
    // them, read in order (with read-ahead) as the runs below read them.
    jet::Database db = jet::Database::Open(f.path, Options());
    const std::uint32_t pages = db.Pages().PageCount();
    if (pages != kFileSize / kPageSize) throw std::runtime_error("the file has the wrong size");
    for (std::uint32_t n = 1; n < pages; ++n) {
      const std::size_t from = 1 + (n - 1) % (plainPages - 1);
      const jet::PagePtr page = db.Pages().Read(n);
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

double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The best iteration of each run: on a shared machine the fastest one is the
// one least disturbed by other work.
struct Best {
  double wall = std::numeric_limits<double>::infinity();
  double cpu = std::numeric_limits<double>::infinity();
};
std::map<std::string, Best> best;

// Times `run` once per iteration.
template <typename Run>
void Measure(benchmark::State& state, const std::string& name, std::size_t bytes, Run run) {
  Best& b = best[name];
  for (auto _ : state) {
    const double cpuStart = ThreadCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    run();
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    b.wall = std::min(b.wall, wall);
    b.cpu = std::min(b.cpu, ThreadCpuSeconds() - cpuStart);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(bytes));
}

constexpr std::size_t kDataBytes = kFileSize - kPageSize;  // every page after the header
constexpr std::uint32_t kDataPages = kFileSize / kPageSize - 1;

std::size_t ReadEveryPage(jet::Database& db) {
  std::size_t checksum = 0;
  const std::uint32_t pages = db.Pages().PageCount();
  for (std::uint32_t n = 1; n < pages; ++n)
    checksum += static_cast<std::size_t>(db.Pages().Read(n)->at(100));
  return checksum;
}

void BM_PlainAesCbc(benchmark::State& state) {
  const EncryptedFile& f = TheFile();
  std::vector<std::byte> work(f.image.begin() + kPageSize, f.image.end());
  const unsigned char iv[16] = {};
  Measure(state, "plain AES-CBC", kDataBytes, [&] {
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_DecryptInit_ex(ctx, EVP_aes_256_cbc(), nullptr,
                       reinterpret_cast<const unsigned char*>(f.dataKey.data()), iv);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    int written = 0;
    auto* bytes = reinterpret_cast<unsigned char*>(work.data());
    EVP_DecryptUpdate(ctx, bytes, &written, bytes, static_cast<int>(work.size()));
    EVP_CIPHER_CTX_free(ctx);
    benchmark::DoNotOptimize(work.data());
  });
}

// The codec alone over the same bytes in memory (no page source, no reads).
void BM_CodecAlone(benchmark::State& state) {
  const EncryptedFile& f = TheFile();
  const std::span header(f.image.data(), kPageSize);
  const auto codec = jet::OpenOfficeCodec(jet::ReadEncryptionInfo(header),
                                          jet::ParseHeaderPage(header).databaseKey, kPassword);
  std::vector<std::byte> work(f.image.begin() + kPageSize, f.image.end());
  Measure(state, "codec alone", kDataBytes, [&] {
    for (std::uint32_t n = 1; n <= kDataPages; ++n)
      codec->Decode(n, std::span(work.data() + (n - 1) * kPageSize, kPageSize));
    benchmark::DoNotOptimize(work.data());
  });
}

void BM_ReadEveryPage(benchmark::State& state) {
  const EncryptedFile& f = TheFile();
  jet::Database db = jet::Database::Open(f.path, Options());
  Measure(state, "page source", kDataBytes, [&] { benchmark::DoNotOptimize(ReadEveryPage(db)); });
}

void BM_OpenAndReadEveryPage(benchmark::State& state) {
  const EncryptedFile& f = TheFile();
  Measure(state, "open + every page", kDataBytes, [&] {
    jet::Database db = jet::Database::Open(f.path, Options());
    benchmark::DoNotOptimize(ReadEveryPage(db));
  });
}

void BM_OpenOnly(benchmark::State& state) {
  const EncryptedFile& f = TheFile();
  Measure(state, "open alone", 0, [&] {
    jet::Database db = jet::Database::Open(f.path, Options());
    benchmark::DoNotOptimize(db.Header().pageSize);
  });
}

// The password's iterated hash with the file's salt and spin count: the part
// of the open the descriptor fixes.
void BM_PasswordHashAlone(benchmark::State& state) {
  const EncryptedFile& f = TheFile();
  const jet::EncryptionInfo info = jet::ReadEncryptionInfo(std::span(f.image.data(), kPageSize));
  const jet::AgileKeyParameters& p = info.agile->passwordKey;
  const jet::HashKind kind =
      p.hashAlgorithm == "SHA1" ? jet::HashKind::Sha1 : jet::HashKind::Sha512;
  const jet::CryptoBytes password = jet::PasswordBytes(u"password");
  Measure(state, "password hash", 0, [&] {
    benchmark::DoNotOptimize(jet::AgileIteratedHash(kind, p.salt, password, info.agile->spinCount));
  });
}

// One IV hash per page, as the codec makes them.
void BM_IvHashesAlone(benchmark::State& state) {
  const EncryptedFile& f = TheFile();
  const std::span header(f.image.data(), kPageSize);
  const jet::EncryptionInfo info = jet::ReadEncryptionInfo(header);
  const std::uint32_t encodingKey = jet::ParseHeaderPage(header).databaseKey;
  jet::Hasher hasher(info.agile->keyData.hashAlgorithm == "SHA1" ? jet::HashKind::Sha1
                                                                 : jet::HashKind::Sha512);
  std::array<std::byte, jet::kMaxHashSize> hash;
  Measure(state, "IV hashes", kDataBytes, [&] {
    for (std::uint32_t n = 1; n <= kDataPages; ++n) {
      const auto blockKey = jet::LittleEndian32(n ^ encodingKey);
      hasher.HashInto({info.agile->keyData.salt, blockKey}, hash);
      benchmark::DoNotOptimize(hash.data());
    }
  });
}

// The file's pages read into page buffers as the page source reads them
// ahead, without a codec or a cache: the system calls and the kernel's copy.
// The reads go round as many buffers as the cache holds, as the page
// source's do, so that the difference to it is the cache's own work.
void BM_FileReadsAlone(benchmark::State& state) {
  const EncryptedFile& f = TheFile();
  const jet::FileByteSource source(f.path);
  const std::size_t window =
      std::min<std::size_t>(jet::PageSource::kReadAheadPages, cachePages / 2 + 1);
  std::vector<jet::Page> buffers(std::max(cachePages, window), jet::Page(kPageSize));
  std::vector<std::span<std::byte>> spans(buffers.begin(), buffers.end());
  Measure(state, "file reads", kDataBytes, [&] {
    std::size_t next = 0;  // the first buffer of the next read
    for (std::uint32_t n = 1; n <= kDataPages; n += static_cast<std::uint32_t>(window)) {
      const std::size_t count = std::min<std::size_t>(window, kDataPages + 1 - n);
      if (next + count > spans.size()) next = 0;
      source.ReadScatteredAt(std::uint64_t{n} * kPageSize, std::span(spans).subspan(next, count));
      next += count;
    }
    benchmark::DoNotOptimize(buffers.front().data());
  });
}

// The same pages of the clear file: the page source without a codec.
void BM_ReadEveryPageClear(benchmark::State& state) {
  const EncryptedFile& f = TheFile();
  jet::Database db = jet::Database::Open(f.clearPath, jet::OpenOptions{.cachePages = cachePages});
  Measure(state, "page source, clear file", kDataBytes,
          [&] { benchmark::DoNotOptimize(ReadEveryPage(db)); });
}

BENCHMARK(BM_PlainAesCbc)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CodecAlone)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadEveryPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenAndReadEveryPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PasswordHashAlone)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IvHashesAlone)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FileReadsAlone)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadEveryPageClear)->Unit(benchmark::kMillisecond);

const Best* Find(const char* name) {
  const auto it = best.find(name);
  return it == best.end() ? nullptr : &it->second;
}

void PrintSummary() {
  const Best* aes = Find("plain AES-CBC");
  if (!aes) return;
  const double mb = static_cast<double>(kDataBytes) / 1e6;
  std::printf("\n%u pages of %zu bytes after the header (%.1f MB); best iteration of each run\n",
              kDataPages, kPageSize, mb);
  std::printf("%-26s %10s %10s %8s %10s %8s\n", "", "wall ms", "MB/s", "/AES", "CPU ms", "/AES");
  for (const char* what : {"plain AES-CBC", "codec alone", "page source", "open + every page"}) {
    const Best* b = Find(what);
    if (!b) continue;
    std::printf("%-26s %10.1f %10.0f %8.2f %10.1f %8.2f\n", what, b->wall * 1e3, mb / b->wall,
                b->wall / aes->wall, b->cpu * 1e3, b->cpu / aes->cpu);
  }
  // Where the time beyond AES goes, per page (CPU time, the steadier one).
  const Best* codec = Find("codec alone");
  const Best* source = Find("page source");
  const Best* open = Find("open alone");
  const Best* password = Find("password hash");
  const Best* ivs = Find("IV hashes");
  const Best* reads = Find("file reads");
  const Best* clear = Find("page source, clear file");
  const Best* whole = Find("open + every page");
  if (!codec || !source || !open || !password || !ivs || !reads || !clear || !whole) return;
  const double perPage = 1e6 / kDataPages;
  std::printf("\nper page, CPU microseconds:\n");
  std::printf("  AES-CBC                        %6.3f\n", aes->cpu * perPage);
  std::printf("  IV hash                        %6.3f\n", ivs->cpu * perPage);
  std::printf("  rest of the codec              %6.3f\n",
              (codec->cpu - aes->cpu - ivs->cpu) * perPage);
  std::printf("  file read (system call, copy)  %6.3f\n", reads->cpu * perPage);
  std::printf("  page source: cache, buffers    %6.3f (clear file %.3f less file reads)\n",
              (clear->cpu - reads->cpu) * perPage, clear->cpu * perPage);
  std::printf("  every page, all told           %6.3f\n", source->cpu * perPage);
  std::printf("per file, CPU ms: open %.1f, of it the password's iterated hash %.1f\n",
              open->cpu * 1e3, password->cpu * 1e3);
  const double floor = aes->cpu + ivs->cpu + reads->cpu + password->cpu;
  std::printf(
      "open + every page over plain AES-CBC: %.2f; what the format and the file reads need "
      "(AES + IV hashes + file reads + password hash): %.2f\n",
      whole->cpu / aes->cpu, floor / aes->cpu);
}

}  // namespace

int main(int argc, char** argv) {
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--cache_pages=", 0) == 0)
      cachePages = std::max<std::size_t>(1, std::stoul(arg.substr(14)));
    else
      argv[kept++] = argv[i];
  }
  argc = kept;
  std::printf("page cache: %zu pages (read-ahead up to %zu)\n", cachePages,
              std::min<std::size_t>(jet::PageSource::kReadAheadPages, cachePages / 2 + 1));
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  PrintSummary();
  std::filesystem::remove(ScratchPath("corvid-bench-office-agile.accdb"));
  std::filesystem::remove(ScratchPath("corvid-bench-office-clear.mdb"));
  return 0;
}
