// corvid-mkmdb: writes Access databases for tests, demos and benchmarks.
//
//   corvid-mkmdb build OUT.mdb DESCRIPTION.txt
//   corvid-mkmdb bench OUT.mdb [--records N] [--blob-kib K] [--bare] [--jet3] [--password P]
//   corvid-mkmdb password FILE.mdb
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "jet/header_page.h"
#include "jet/jet_format.h"
#include "jet/mdb_writer.h"
#include "tools/mkmdb/bench_database.h"
#include "tools/mkmdb/description_file.h"

#ifdef CORVID_HAVE_OLEDOCS
#include "tools/oledocs/ole_wrappers.h"
#endif

namespace {

using namespace corvid::jet;
using namespace corvid::mkmdb;

constexpr const char* kUsage =
    "usage:\n"
    "  corvid-mkmdb build OUT.mdb DESCRIPTION.txt\n"
    "  corvid-mkmdb bench OUT.mdb [--records N] [--blob-kib K] [--bare] [--jet3] [--password P]\n"
    "  corvid-mkmdb password FILE.mdb\n";

long long NumberArgument(const std::string& option, const char* text) {
  char* end = nullptr;
  const long long v = std::strtoll(text, &end, 10);
  if (!*text || *end || v < 0)
    throw WriterError(option + " needs a non-negative number, not \"" + text + "\"");
  return v;
}

int Build(const std::vector<std::string>& args) {
  if (args.size() != 2)
    throw WriterError(std::string("build needs OUT.mdb and DESCRIPTION.txt\n") + kUsage);
  std::ifstream in(args[1]);
  if (!in) throw WriterError("cannot read \"" + args[1] + "\"");
  const auto base = std::filesystem::path(args[1]).parent_path().string();
  const Description description = ParseDescription(in, base);
  WriteDescribedDatabase(description, args[0]);
  return 0;
}

int Bench(const std::vector<std::string>& args) {
  if (args.empty()) throw WriterError(std::string("bench needs OUT.mdb\n") + kUsage);
  BenchOptions options;
  bool bare = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto next = [&]() -> const char* {
      if (i + 1 >= args.size()) throw WriterError(a + " needs a value");
      return args[++i].c_str();
    };
    if (a == "--records") {
      options.records = NumberArgument(a, next());
    } else if (a == "--blob-kib") {
      options.blobBytes = static_cast<std::size_t>(NumberArgument(a, next())) * 1024;
    } else if (a == "--bare") {
      bare = true;
    } else if (a == "--jet3") {
      options.writer.format = JetFormat::Jet3;
    } else if (a == "--password") {
      options.writer.password = next();
    } else {
      throw WriterError("unknown option \"" + a + "\"\n" + kUsage);
    }
  }
#ifdef CORVID_HAVE_OLEDOCS
  if (!bare) {
    options.wrap = [](std::span<const std::byte> jpeg, std::int64_t record) {
      const std::string name = "photo-" + std::to_string(record) + ".jpg";
      return corvid::oledocs::WrapPackage(name, "C:\\Photos\\" + name, jpeg);
    };
  }
#else
  (void)bare;
#endif
  const auto start = std::chrono::steady_clock::now();
  const BenchResult result = WriteBenchDatabase(args[0], options);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf(
      "wrote %s: %lld records, %llu bytes of OLE values, file %llu bytes (%.1f MiB) in %.2f s "
      "(%.0f MiB/s)%s\n",
      args[0].c_str(), static_cast<long long>(options.records),
      static_cast<unsigned long long>(result.payloadBytes),
      static_cast<unsigned long long>(result.fileBytes), result.fileBytes / 1048576.0, seconds,
      result.fileBytes / 1048576.0 / seconds,
      options.wrap ? ", values wrapped as OLE Package objects" : ", values stored bare");
  return 0;
}

int Password(const std::vector<std::string>& args) {
  if (args.size() != 1) throw WriterError(std::string("password needs FILE.mdb\n") + kUsage);
  std::ifstream in(args[0], std::ios::binary);
  std::vector<char> chars(4096);
  in.read(chars.data(), static_cast<std::streamsize>(chars.size()));
  if (in.gcount() < 2048) throw WriterError("\"" + args[0] + "\" is too short for a database");
  std::vector<std::byte> page(static_cast<std::size_t>(in.gcount()));
  for (std::size_t i = 0; i < page.size(); ++i) page[i] = static_cast<std::byte>(chars[i]);
  const JetConstants& jet = page[0x14] == std::byte{0} ? kJet3 : kJet4;
  if (page.size() < jet.pageSize)
    throw WriterError("\"" + args[0] + "\" is too short for a database");
  std::printf("%s\n", ReadHeaderPassword(jet, page).c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::string command = argv[1];
  const std::vector<std::string> args(argv + 2, argv + argc);
  try {
    if (command == "build") return Build(args);
    if (command == "bench") return Bench(args);
    if (command == "password") return Password(args);
    std::fprintf(stderr, "corvid-mkmdb: unknown command \"%s\"\n%s", command.c_str(), kUsage);
    return 2;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "corvid-mkmdb: %s\n", e.what());
    return 1;
  }
}
