#pragma once
// TDataSource: the link between a data set and whatever follows it (a
// detail table, a view). Links attached to the source hear of the data
// set's changes of record and of state while the source is enabled and the
// data set's controls are not disabled.

#include <functional>
#include <map>

namespace corvid {

class TDataSet;

enum class TDataEvent : int {
  deDataSetChange,  // the current record or the records changed (a move, a refill)
  deUpdateState,    // the data set was opened, closed or changed its state
  deSourceGone,     // the data source itself is being destroyed
};

class TDataSource {
 public:
  using TDataLink = std::function<void(TDataEvent)>;

  explicit TDataSource(TDataSet* dataSet = nullptr);
  ~TDataSource();
  TDataSource(const TDataSource&) = delete;
  TDataSource& operator=(const TDataSource&) = delete;

  TDataSet* DataSet() const { return dataSet_; }
  void SetDataSet(TDataSet* dataSet);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);

  // Attaches a link; the token removes it again. A link must be removed
  // before what it calls goes away.
  int AddLink(TDataLink link);
  void RemoveLink(int token);

  // Called by the data set: passes the event to every link (when enabled).
  void DataEvent(TDataEvent event);
  // Called by the data set's destructor.
  void DataSetGone() { dataSet_ = nullptr; }

 private:
  TDataSet* dataSet_ = nullptr;
  bool enabled_ = true;
  std::map<int, TDataLink> links_;
  int nextToken_ = 1;
};

}  // namespace corvid
