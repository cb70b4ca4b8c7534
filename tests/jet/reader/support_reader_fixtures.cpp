#include "tests/jet/reader/support_reader_fixtures.h"

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <stdexcept>

#include "jet/mdb_writer.h"

namespace corvid::jet::reader::testing {
namespace w = corvid::jet;

std::vector<std::string> RealFixtureFiles() {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(kFixtures))
    if (entry.is_regular_file()) files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

bool IsOfficeEncryptedFixture(const std::string& path) {
  const std::string name = std::filesystem::path(path).filename().string();
  return name == "office-agile-4.2.accdb" || name == "office-agile-4.4.accdb" ||
         name == "db-nonstandard.accdb";
}

TempDir::TempDir() {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "corvid-jet-reader-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary directory");
  dir_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

std::vector<std::byte> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> chars((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::byte> bytes(chars.size());
  std::transform(chars.begin(), chars.end(), bytes.begin(), [](char c) { return std::byte(c); });
  return bytes;
}

void WriteFile(const std::string& path, const std::vector<std::byte>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

namespace {

w::Bytes Pattern(std::size_t size, unsigned salt) {
  std::mt19937 random(salt);
  w::Bytes bytes(size);
  for (auto& b : bytes) b = std::byte(random() & 0xFF);
  return bytes;
}

}  // namespace

void WriteAllTypesDatabase(const std::string& path, bool jet3) {
  w::WriterOptions options;
  options.format = jet3 ? w::JetFormat::Jet3 : w::JetFormat::Jet4;
  w::MdbWriter writer(path, options);
  auto& all = writer.AddTable({"Everything",
                               {{"id", w::ColumnType::AutoNumber},
                                {"long", w::ColumnType::Long},
                                {"int", w::ColumnType::Integer},
                                {"byte", w::ColumnType::Byte},
                                {"yes", w::ColumnType::YesNo},
                                {"money", w::ColumnType::Currency},
                                {"double", w::ColumnType::Double},
                                {"date", w::ColumnType::DateTime},
                                {"text", w::ColumnType::Text, 120},
                                {"plain", w::ColumnType::Text, 40, false},
                                {"memo", w::ColumnType::Memo},
                                {"ole", w::ColumnType::OleObject},
                                {"bin", w::ColumnType::Binary, 100},
                                {"guid", w::ColumnType::Guid}}});
  const std::vector<std::string> texts{"",
                                       "a",
                                       "Grüße aus Köln",
                                       "naïve café €",
                                       "plain ASCII text",
                                       jet3 ? "Œuvre ‰" : "Ωmega 漢字 text"};
  for (int i = 0; i < 40; ++i) {
    const bool nulls = i % 7 == 3;
    w::Guid guid;
    for (int k = 0; k < 16; ++k) guid.bytes[k] = static_cast<std::uint8_t>(i * 16 + k);
    std::string memo(static_cast<std::size_t>(i * 53), 'm');
    if (i % 5 == 1) memo += " Ärger";
    std::vector<w::Value> row{
        w::Null,
        nulls ? w::Value{w::Null} : w::Value{std::int64_t{i * 100003 - 2000000}},
        nulls ? w::Value{w::Null} : w::Value{std::int64_t{i * 1000 - 20000}},
        nulls ? w::Value{w::Null} : w::Value{std::int64_t{i * 6}},
        w::Value{i % 2 == 0},
        nulls ? w::Value{w::Null} : w::Value{w::Currency{i * 123457 - 99}},
        nulls ? w::Value{w::Null} : w::Value{i * 3.25 - 17.5},
        nulls ? w::Value{w::Null} : w::Value{w::Date{36526.0 + i * 37.0 + (i % 24) / 24.0}},
        nulls ? w::Value{w::Null} : w::Value{texts[i % texts.size()] + std::to_string(i)},
        nulls ? w::Value{w::Null} : w::Value{std::string("row ") + std::to_string(i)},
        nulls ? w::Value{w::Null} : w::Value{memo},
        nulls ? w::Value{w::Null} : w::Value{Pattern(static_cast<std::size_t>(i * i * 5), i)},
        nulls ? w::Value{w::Null} : w::Value{Pattern(static_cast<std::size_t>(i * 2), i + 100)},
        nulls ? w::Value{w::Null} : w::Value{guid}};
    all.AddRow(row);
  }

  // Long values of every layout: inline (<= 64 bytes), one LVAL row, chains.
  auto& longs = writer.AddTable({"Longs",
                                 {{"n", w::ColumnType::Long},
                                  {"memo", w::ColumnType::Memo},
                                  {"ole", w::ColumnType::OleObject}}});
  const std::size_t page = jet3 ? 2048 : 4096;
  const std::vector<std::size_t> sizes{0, 1, 64, 65, 1000, page - 30, page, 3 * page + 17, 70000};
  int n = 0;
  for (std::size_t size : sizes) {
    std::string memo;
    for (std::size_t k = 0; k < size; ++k) memo += static_cast<char>('a' + (k * 7 + size) % 26);
    longs.AddRow({std::int64_t{n}, memo, Pattern(size, static_cast<unsigned>(size))});
    ++n;
  }

  // Rows longer than 256 bytes with many variable columns (Jet 3 jump tables).
  std::vector<w::ColumnDef> wideColumns{{"n", w::ColumnType::Long}};
  for (int k = 0; k < 30; ++k)
    wideColumns.push_back({"t" + std::to_string(k), w::ColumnType::Text, 40});
  auto& wide = writer.AddTable({"Wide", wideColumns});
  for (int i = 0; i < 12; ++i) {
    std::vector<w::Value> row{std::int64_t{i}};
    for (int k = 0; k < 30; ++k) {
      if ((i + k) % 9 == 0) {
        row.emplace_back(w::Null);
      } else {
        row.emplace_back(std::string(static_cast<std::size_t>((i * 3 + k) % 40),
                                     static_cast<char>('A' + k % 26)));
      }
    }
    wide.AddRow(row);
  }
  writer.Finish();
}

void WriteSpreadDatabase(const std::string& path) {
  w::MdbWriter writer(path);
  auto& rows =
      writer.AddTable({"Rows", {{"n", w::ColumnType::Long}, {"text", w::ColumnType::Text, 200}}});
  auto& blobs =
      writer.AddTable({"Blobs", {{"n", w::ColumnType::Long}, {"ole", w::ColumnType::OleObject}}});
  for (int i = 0; i < 400; ++i) {
    rows.AddRow({std::int64_t{i}, std::string(static_cast<std::size_t>(100 + i % 100), 'r')});
    blobs.AddRow({std::int64_t{i}, Pattern(9000, static_cast<unsigned>(i))});
  }
  writer.Finish();
}

}  // namespace corvid::jet::reader::testing
