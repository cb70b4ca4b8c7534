// corvid-mksample: writes the bundled sample database.
//
//   corvid-mksample [--jet3] <output.mdb>
//
// The tables and rows are those of tools/oledocs/sample_database_content.h,
// in an Access 2000-2003 (Jet 4) file, or with --jet3 in an Access 97 file;
// the file appears under its name only when complete.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "jet/mdb_writer.h"
#include "tools/oledocs/sample_database_content.h"

namespace {

using namespace corvid;
using jet::ColumnType;
using jet::Value;

void WriteSampleTable(jet::MdbWriter& writer) {
  auto& table = writer.AddTable({oledocs::kSampleTable,
                                 {{"id", ColumnType::Long},
                                  {"filter", ColumnType::Text, 50},
                                  {"img", ColumnType::OleObject},
                                  {"name", ColumnType::Text, 100}}});
  for (const auto& row : oledocs::SampleTableRows()) {
    Value img = jet::Null;
    if (row.img) img = jet::ByteView{*row.img};
    table.AddRow({std::int64_t{row.id}, row.filter, img, row.name});
  }
}

void WritePhotoTable(jet::MdbWriter& writer) {
  auto& table = writer.AddTable({oledocs::kSamplePhotoTable,
                                 {{"id", ColumnType::Long},
                                  {"category", ColumnType::Text, 50},
                                  {"year", ColumnType::Long},
                                  {"caption", ColumnType::Text, 100},
                                  {"img", ColumnType::OleObject}}});
  for (const auto& row : oledocs::SamplePhotoRows()) {
    table.AddRow({std::int64_t{row.id}, row.category, std::int64_t{row.year}, row.caption,
                  jet::ByteView{row.img}});
  }
}

}  // namespace

int main(int argc, char** argv) {
  jet::WriterOptions options;
  std::string output;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--jet3") {
      options.format = jet::JetFormat::Jet3;
    } else if (output.empty() && !argument.empty() && argument[0] != '-') {
      output = argument;
    } else {
      output.clear();
      break;
    }
  }
  if (output.empty()) {
    std::fprintf(stderr, "usage: %s [--jet3] <output.mdb>\n", argv[0]);
    return 2;
  }
  try {
    jet::MdbWriter writer(output, options);
    WriteSampleTable(writer);
    WritePhotoTable(writer);
    writer.Finish();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
    return 1;
  }
  return 0;
}
