#include "dao/dataset/data_source.h"

#include <vector>

#include "dao/dataset/data_set.h"

namespace corvid {

TDataSource::TDataSource(TDataSet* dataSet) { SetDataSet(dataSet); }

TDataSource::~TDataSource() {
  if (dataSet_) dataSet_->DetachDataSource(*this);
  enabled_ = true;
  DataEvent(TDataEvent::deSourceGone);
}

void TDataSource::SetDataSet(TDataSet* dataSet) {
  if (dataSet == dataSet_) return;
  if (dataSet_) dataSet_->DetachDataSource(*this);
  dataSet_ = dataSet;
  if (dataSet_) dataSet_->AttachDataSource(*this);
  DataEvent(TDataEvent::deUpdateState);
}

void TDataSource::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  // the followers see the data set appear or disappear
  if (dataSet_) {
    for (auto& [token, link] : std::map<int, TDataLink>(links_)) {
      (void)token;
      link(TDataEvent::deUpdateState);
    }
  }
}

int TDataSource::AddLink(TDataLink link) {
  const int token = nextToken_++;
  links_.emplace(token, std::move(link));
  return token;
}

void TDataSource::RemoveLink(int token) { links_.erase(token); }

void TDataSource::DataEvent(TDataEvent event) {
  if (!enabled_) return;
  // A link may remove itself (or others) while it runs: walk a copy of the
  // tokens and skip the ones gone meanwhile.
  std::vector<int> tokens;
  for (const auto& entry : links_) tokens.push_back(entry.first);
  for (int token : tokens) {
    auto it = links_.find(token);
    if (it == links_.end()) continue;
    TDataLink link = it->second;
    link(event);
  }
}

}  // namespace corvid
