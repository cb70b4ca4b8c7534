#pragma once
// Doubles for window tests: a Qt application for the test process and an
// in-memory database side with hooks into the run.

#include <QApplication>

#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "frontend/run_components.h"

namespace corvid::testing {

inline QApplication& TestApplication() {
  static int argc = 1;
  static char name[] = "corvid-test";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

struct FakeRecord {
  std::string id;
  std::string blob;
};

// A table of records with fields "id" and "img"; counts what the run asked.
class FakeComponents : public RunComponents, public DatabaseConnection, public RecordTable {
 public:
  std::vector<FakeRecord> records;
  std::string connectError;  // non-empty: connecting throws this
  int connects = 0;
  std::function<void()> onFieldText;  // called inside the run, once per FieldText
  std::string tableName;

  DatabaseConnection& Connection() override { return *this; }
  RecordTable& Table() override { return *this; }

  void SetLoginPrompt(bool prompt) override { loginPrompt = prompt; }
  void SetDatabaseType(const std::string&) override {}
  void SetDatabase(const std::string& path) override { database = path; }
  void SetConnected(bool connected) override {
    if (connected) {
      ++connects;
      if (!connectError.empty()) throw std::runtime_error(connectError);
    }
  }
  void SetTableName(const std::string& name) override { tableName = name; }
  void SetActive(bool active) override { position = active ? 0 : records.size(); }
  void FieldNames(std::vector<std::string>& names) override { names = {"id", "img"}; }
  std::string FieldText(int field) override {
    if (onFieldText) onFieldText();
    if (field == 0) return records.at(position).id;
    if (field == 1) return records.at(position).blob;
    throw std::out_of_range("no such field");
  }
  bool Eof() override { return position >= records.size(); }
  void Next() override { ++position; }
  std::unique_ptr<BlobReader> OpenBlobStream(int field) override {
    if (field != 1) throw std::out_of_range("not a blob field");
    struct Reader : BlobReader {
      std::string data;
      std::size_t at = 0;
      std::int64_t Size() override { return static_cast<std::int64_t>(data.size()); }
      std::size_t Read(std::span<std::byte> buffer) override {
        const std::size_t n = std::min(buffer.size(), data.size() - at);
        std::memcpy(buffer.data(), data.data() + at, n);
        at += n;
        return n;
      }
    };
    auto reader = std::make_unique<Reader>();
    reader->data = records.at(position).blob;
    return reader;
  }

  // The records the table lists (-1: unknown); more than `records` is a
  // damaged database.
  std::int64_t ListedCount() override { return listed; }

  bool loginPrompt = false;
  std::string database;
  std::size_t position = 0;
  std::int64_t listed = -1;
};

}  // namespace corvid::testing
