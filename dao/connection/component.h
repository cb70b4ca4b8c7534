#pragma once
// The small component base of the database access layer: an owner, a name and
// the loading state. While a stored configuration is applied (BeginLoading ...
// FinishSetup) setters only store their values; FinishSetup does the deferred
// work once at the end.

#include <string>
#include <utility>

namespace corvid {

class Component {
 public:
  explicit Component(Component* owner = nullptr) : owner_(owner) {}
  virtual ~Component() = default;
  Component(const Component&) = delete;
  Component& operator=(const Component&) = delete;

  Component* Owner() const { return owner_; }
  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }

  // True between BeginLoading and FinishSetup.
  bool Loading() const { return loading_; }
  void BeginLoading() { loading_ = true; }

  // Ends the loading state. Derived components override it to do their
  // deferred work and call the base first.
  virtual void FinishSetup() { loading_ = false; }

 private:
  Component* owner_;
  std::string name_;
  bool loading_ = false;
};

}  // namespace corvid
