#include "dao/mdb/mdb_querydef.h"

#include "dao/engine/dao_constants.h"
#include "dao/engine/recordset.h"

namespace corvid::dao {

LibmdbQueryDef::LibmdbQueryDef(std::string name, int type, EngineContextPtr context,
                               ObjectDates dates)
    : name_(std::move(name)),
      type_(type),
      context_(context),
      dates_(std::move(dates)),
      parameters_(std::move(context), "Parameters of '" + name_ + "'") {}

void LibmdbQueryDef::SetSQL(std::string_view) {
  context_->Raise(kCannotUpdate, "Cannot update. Database or object is read-only.");
}

std::unique_ptr<Recordset> LibmdbQueryDef::OpenRecordset(int, int, int) {
  context_->Raise(kOperationNotSupported,
                  "Operation is not supported for this type of object: the stored query '" +
                      name_ + "' cannot be run, this engine has no query engine yet.");
}

}  // namespace corvid::dao
