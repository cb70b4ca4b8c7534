#pragma once
// Helpers of the locate, lookup and master/detail tests: a writer-made
// database of awkward key values, and the rows mdb-export reads.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_engine_support.h"
#include "test_table_support.h"

namespace corvid::testing_support {

// "Awkward": texts with quotes and LIKE pattern characters, NULLs, dates,
// GUIDs and Yes/No values; "Kinds": the detail table of a master/detail
// link on Awkward.ID (and on a text key); no indexes anywhere.
inline std::string MakeAwkwardDatabase(const ScratchDir& dir) {
  using namespace jet;
  const std::string path = dir / "awkward.mdb";
  MdbWriter writer(path);
  auto& awkward = writer.AddTable({"Awkward",
                                   {{"ID", ColumnType::Long},
                                    {"Name", ColumnType::Text, 60},
                                    {"When", ColumnType::DateTime},
                                    {"Uid", ColumnType::Guid},
                                    {"Flag", ColumnType::YesNo},
                                    {"Score", ColumnType::Double}}});
  Guid other = SampleGuid();
  other.bytes[15] = 0x01;
  awkward.AddRow(
      {std::int64_t{1}, std::string("say \"hi\""), Date{36925.5}, SampleGuid(), true, 1.5});
  awkward.AddRow({std::int64_t{2}, std::string("a*b?c"), Date{36926.0}, other, false, -0.25});
  awkward.AddRow({std::int64_t{3}, std::string("![#]-x"), Null, Null, true, Null});
  awkward.AddRow({std::int64_t{4}, Null, Date{36925.75}, Null, false, 2.0});
  awkward.AddRow({std::int64_t{5}, std::string("Abc"), Date{36925.5}, Null, true, 1.5});
  awkward.AddRow({std::int64_t{6}, std::string("abcdef"), Date{36927.0}, Null, false, 3.0});
  awkward.AddRow({std::int64_t{7}, std::string("a[b]c"), Null, Null, false, Null});
  auto& kinds = writer.AddTable({"Kinds",
                                 {{"KindID", ColumnType::Long},
                                  {"OwnerID", ColumnType::Long},
                                  {"OwnerName", ColumnType::Text, 60},
                                  {"Label", ColumnType::Text, 20}}});
  kinds.AddRow({std::int64_t{1}, std::int64_t{1}, std::string("say \"hi\""), std::string("one-a")});
  kinds.AddRow({std::int64_t{2}, std::int64_t{2}, std::string("a*b?c"), std::string("two-a")});
  kinds.AddRow({std::int64_t{3}, std::int64_t{1}, std::string("say \"hi\""), std::string("one-b")});
  kinds.AddRow({std::int64_t{4}, Null, Null, std::string("nobody")});
  kinds.AddRow({std::int64_t{5}, std::int64_t{5}, std::string("Abc"), std::string("five")});
  kinds.AddRow({std::int64_t{6}, std::int64_t{1}, std::string("say \"hi\""), std::string("one-c")});
  writer.Finish();
  return path;
}

// The rows of a table as mdb-export reads them (Null as "\x01NULL").
inline std::vector<std::vector<std::string>> ExportedRows(const std::string& file,
                                                          const std::string& table) {
  return dao::testing::MdbExport(file, table);
}

inline const std::string kNullExport = "\x01NULL";

// The field texts of the table's current record by name.
inline std::string Text(TVxDaoTable& table, const std::string& field) {
  return table.FieldByName(field).AsString();
}

struct AwkwardDatabase {
  static std::string Make(const ScratchDir& dir) { return MakeAwkwardDatabase(dir); }
};
using OnAwkwardDatabase = OnMadeDatabase<AwkwardDatabase>;

}  // namespace corvid::testing_support
