// TVxDaoTable: the master/detail link. The detail recordset holds the
// records whose detail fields equal the master's current values; it is
// opened again whenever the master moves to another record.

#include <set>

#include "SrcLib/quietly.h"
#include "dao/dataset/data_source.h"
#include "dao/engine/database.h"
#include "dao/engine/database_error.h"
#include "dao/engine/recordset.h"
#include "dao/table/dao_table.h"

namespace corvid {

void TVxDaoTable::DetachMaster() {
  if (masterSource_ && masterLink_) masterSource_->RemoveLink(masterLink_);
  masterLink_ = 0;
}

void TVxDaoTable::F_Set_MasterSource(TDataSource* source) {
  if (source == masterSource_) return;
  // Follow the chain of masters: it must not come back to this table.
  std::set<const TDataSet*> seen;
  for (const TDataSet* master = source ? source->DataSet() : nullptr; master;) {
    if (master == this) throw DatabaseError("Circular links not allowed!");
    if (!seen.insert(master).second) break;
    const auto* table = dynamic_cast<const TVxDaoTable*>(master);
    master = table && table->masterSource_ ? table->masterSource_->DataSet() : nullptr;
  }
  DetachMaster();
  masterSource_ = source;
  if (!masterSource_) {
    masterFields_.clear();
  } else {
    masterLink_ = masterSource_->AddLink([this](TDataEvent event) { MasterDataEvent(event); });
  }
  if (Active() && !Loading()) ReopenAndFirst();
}

void TVxDaoTable::F_Set_MasterFields(std::vector<std::string> lines) {
  masterFields_ = std::move(lines);
  if (Active() && !Loading()) ReopenAndFirst();
}

void TVxDaoTable::MasterDataEvent(TDataEvent event) {
  if (event == TDataEvent::deSourceGone) {
    masterSource_ = nullptr;
    masterLink_ = 0;
    return;
  }
  if (masterReopening_ || !Active() || ControlsDisabled()) return;
  TDataSet* master = masterSource_ ? masterSource_->DataSet() : nullptr;
  if (!master || master->ControlsDisabled()) return;
  // A master that closes (or is being destroyed) leaves the detail as it
  // is: opening it again from here would keep it from ever closing.
  if (event == TDataEvent::deUpdateState && !master->Active()) return;
  // Leave edit mode, clear the buffers, open the recordset on the master's
  // new values and go to the first record.
  masterReopening_ = true;
  try {
    ReopenAndFirst();
  } catch (...) {
    masterReopening_ = false;
    throw;
  }
  masterReopening_ = false;
}

std::string TVxDaoTable::MasterCondition() {
  if (!masterSource_ || !masterSource_->DataSet()) return {};
  TDataSet& master = *masterSource_->DataSet();
  if (!master.Active() && masterAutoActivate_) {
    const bool was = masterReopening_;
    masterReopening_ = true;  // the master's opening is no reason to reopen here
    try {
      master.Open();
    } catch (...) {
      masterReopening_ = was;
      throw;
    }
    masterReopening_ = was;
  }
  if (!master.Active() || !masterSource_->Enabled()) return {};
  const MasterDetailFields lists = ParseMasterFields(masterFields_);
  if (lists.detail.empty() || lists.master.empty()) return {};
  std::vector<MasterValue> values;
  for (const std::string& name : lists.master) {
    const TField& field = master.FieldByName(name);
    MasterValue value{field.DataType(), field.ValidChars() == kGuidChars, std::monostate{}};
    if (field.IsBlob()) {
      if (master.FieldHasValue(field)) value.value = master.FieldText(field);
    } else {
      value.value = master.FieldNativeValue(field);
    }
    values.push_back(std::move(value));
  }
  std::string condition = MasterDetailCondition(lists.detail, values, useBrackets_);
  if (filtered_ && !filter_.empty()) condition = "(" + condition + ") AND (" + filter_ + ")";
  return condition;
}

void TVxDaoTable::ApplyMasterCondition(std::unique_ptr<dao::Recordset>& recordset,
                                       dao::Database& db) {
  const std::string condition = MasterCondition();
  if (condition.empty()) return;
  if (!tableName_.empty()) {
    const std::string text =
        "Select * From [" + tableName_ + "] Where " + condition +
        (sortClause_.empty() ? std::string(";") : " Order By " + sortClause_ + ";");
    auto detail = db.OpenRecordset(text, tableType_, optionBits_, lockType_);
    Quietly("the unfiltered recordset is replaced either way", [&] { recordset->Close(); });
    recordset = std::move(detail);
    return;
  }
  recordset->SetFilter(condition);
  auto detail = recordset->OpenRecordset(tableType_, optionBits_);
  previousRecordset_ = std::move(recordset);
  recordset = std::move(detail);
}

}  // namespace corvid
