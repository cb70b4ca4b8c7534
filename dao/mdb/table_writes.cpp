#include "dao/mdb/table_writes.h"

#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <optional>

#include "SrcLib/text_case.h"
#include "dao/engine/dao_constants.h"
#include "jet/table_editor.h"

namespace corvid::dao {
namespace {

constexpr char kReadOnly[] = "Cannot update. Database or object is read-only.";

// An error text as the end of a message: capitalised, ending with a full stop.
std::string AsSentence(std::string text) {
  if (!text.empty()) text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
  if (!text.empty() && text.back() != '.') text += '.';
  return text;
}

jet::TableEditor EditorFor(TableRows& rows) {
  const auto [device, inode] = rows.file().identity();
  return jet::TableEditor(rows.file().path(), rows.entry().DefinitionPage(), rows.name(),
                          jet::FileIdentity{static_cast<dev_t>(device), static_cast<ino_t>(inode)});
}

// Applies one change to the table's file; a failure is the engine's 3027 naming what went wrong.
template <class Change>
auto ApplyChange(TableRows& rows, Change change) {
  std::string refusal = EditRefusal(rows);
  if (!refusal.empty()) rows.context().Raise(kCannotUpdate, refusal);
  rows.CountAll();  // every row is located before the change moves or adds one
  try {
    auto result = change(EditorFor(rows));
    rows.Reload();
    return result;
  } catch (const jet::RowTooLargeError& error) {
    // Nothing was written.
    rows.context().Raise(kRecordTooLarge, "Record is too large. " + AsSentence(error.what()));
  } catch (const jet::RowValueError& error) {
    // Nothing was written.
    rows.context().Raise(kConversionError,
                         "Data type conversion error. " + AsSentence(error.what()));
  } catch (const jet::WriterError& error) {
    rows.Reload();
    rows.context().Raise(kCannotUpdate, "Cannot update. " + AsSentence(error.what()));
  }
}

}  // namespace

std::string EditRefusal(TableRows& rows) {
  const std::string base = kReadOnly;
  AccessFile& file = rows.file();
  if (!file.writable()) return base + " The database '" + file.path() + "' was opened read-only.";
  if (file.header().format == MdbFormat::Ace)
    return base + " Corvid writes Access 97 and Access 2000-2003 files only; '" + file.path() +
           "' is an Access 2007 or later file.";
  if (SameText(std::string_view(rows.name()).substr(0, 4), "MSys"))
    return base + " The table '" + rows.name() + "' is a system table.";
  if (file.encrypted())
    return base + " The database '" + file.path() +
           "' is encrypted; Corvid does not write encrypted files.";
  if (!rows.definition().indexes.empty())
    return base + " The table '" + rows.name() +
           "' has indexes; Corvid does not maintain Access indexes.";
  if (::access(file.path().c_str(), W_OK) != 0) {
    const int error = errno;
    return base + " The file '" + file.path() + "' cannot be written: " + std::strerror(error) +
           ".";
  }
  try {
    EditorFor(rows).Check();
  } catch (const jet::WriterError& error) {
    return base + " " + AsSentence(error.what());
  }
  return {};
}

std::int32_t WriteNewRow(TableRows& rows, std::span<const jet::Value> values) {
  return ApplyChange(rows, [&](jet::TableEditor editor) {
    const jet::RowLocation at = editor.Insert(values);
    return rows.Added(at.page, at.row);
  });
}

void RewriteRow(TableRows& rows, std::int32_t index, std::span<const jet::Value> values,
                const std::vector<bool>& keep) {
  ApplyChange(rows, [&](jet::TableEditor editor) {
    const auto& where = rows.LocatorOf(index);
    const jet::RowLocation at = editor.Update({where.page, where.row}, values, keep);
    rows.Moved(index, at.page, at.row);
    return 0;
  });
}

void DeleteRow(TableRows& rows, std::int32_t index) {
  ApplyChange(rows, [&](jet::TableEditor editor) {
    const auto& where = rows.LocatorOf(index);
    editor.Delete({where.page, where.row});
    rows.Removed(index);
    return 0;
  });
}

}  // namespace corvid::dao
