#pragma once
// A DAO collection held as a list of owned objects, looked up by index or by
// name with the program's case folding.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "SrcLib/text_case.h"
#include "dao/engine/collection.h"
#include "dao/mdb/engine_context.h"

namespace corvid::dao {

template <class T, class Stored = T>
class ObjectList : public Collection<T> {
 public:
  ObjectList(EngineContextPtr context, std::string owner)
      : context_(std::move(context)), owner_(std::move(owner)) {}

  int Count() const override { return static_cast<int>(items_.size()); }
  T& Item(int index) override {
    if (index < 0 || index >= Count())
      context_->Raise(3265, "Item not found in this collection: " + owner_ + " has no item " +
                                std::to_string(index) + ".");
    return *items_[static_cast<std::size_t>(index)];
  }
  T& Item(std::string_view name) override {
    if (T* found = Find(name)) return *found;
    context_->Raise(3265, "Item not found in this collection: " + owner_ + " has no item '" +
                              std::string(name) + "'.");
  }
  void Refresh() override {}

  T* Find(std::string_view name) {
    for (auto& item : items_)
      if (SameText(item->Name(), name)) return item.get();
    return nullptr;
  }
  void Add(std::shared_ptr<Stored> item) { items_.push_back(std::move(item)); }
  void Remove(const T* item) {
    std::erase_if(items_, [&](const auto& held) { return held.get() == item; });
  }
  void Clear() { items_.clear(); }
  const std::vector<std::shared_ptr<Stored>>& items() const { return items_; }

 private:
  EngineContextPtr context_;
  std::string owner_;
  std::vector<std::shared_ptr<Stored>> items_;
};

}  // namespace corvid::dao
