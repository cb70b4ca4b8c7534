#pragma once
// TVxDaoIndexDefs: the index definitions of a TVxDaoTable (its IndexDefs),
// read from the table definition's Indexes. Writing new definitions and
// deleting one go through the engine, which refuses on a read-only file and
// whose error is passed on.

#include <cstddef>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace corvid {

class TVxDaoTable;

enum class TIndexOption : int { ixPrimary, ixUnique, ixDescending };
using TIndexOptions = std::set<TIndexOption>;

struct TVxDaoIndexDef {
  std::string name;
  std::string fields;      // ascending fields, names separated by ";"
  std::string descFields;  // descending fields, names separated by ";"
  TIndexOptions options;
  // Read from a table definition: every field in key order, and whether
  // the entry is the file's record of a relationship (no index to seek on).
  std::vector<std::string> keyOrder;
  bool foreign = false;
  bool Has(TIndexOption option) const { return options.count(option) != 0; }
  // Every field of the index in key order (the two texts together).
  std::vector<std::string> FieldList() const;
};

class TVxDaoIndexDefs {
 public:
  explicit TVxDaoIndexDefs(TVxDaoTable& table) : table_(table) {}

  std::size_t Count() const { return defs_.size(); }
  const TVxDaoIndexDef& operator[](std::size_t i) const { return defs_.at(i); }
  auto begin() const { return defs_.begin(); }
  auto end() const { return defs_.end(); }
  // By name, letter case ignored; nullptr when there is none.
  const TVxDaoIndexDef* Find(std::string_view name) const;
  TVxDaoIndexDef& Add(std::string name, std::string fields, TIndexOptions options = {},
                      std::string descFields = {});
  void Clear() { defs_.clear(); }

  // Reads the definitions of the table's table definition: only for a
  // table-type table with a TableName on a connected non-ODBC database;
  // cleared otherwise. A failure leaves what was read so far.
  void Read();
  // Creates, in the table definition, every definition it does not have
  // yet (when the table and all named fields exist), closing an active table
  // for the purpose and opening it again; then reads the list again.
  void Update();
  // Deletes the index `name` from the table definition through the database
  // component (closing and reopening an active table); nothing without a
  // TableName.
  void Delete(std::string_view name);

 private:
  TVxDaoTable& table_;
  std::vector<TVxDaoIndexDef> defs_;
};

}  // namespace corvid
