#pragma once
// A DAO collection of objects (TableDefs, QueryDefs, Fields, Workspaces ...):
// Count, Item by index from 0 or by name (letter case ignored), Refresh. An
// Item that is not there raises EngineError 3265. References returned by
// Item stay valid while the owning object is open.

#include <string>
#include <string_view>

namespace corvid::dao {

template <class T>
class Collection {
 public:
  virtual ~Collection() = default;
  virtual int Count() const = 0;
  virtual T& Item(int index) = 0;
  virtual T& Item(std::string_view name) = 0;
  virtual void Refresh() = 0;
};

// Members of the workspace collections that this engine keeps only by name
// (Users, Groups, Containers, Relations): Name is all they answer.
class NamedObject {
 public:
  virtual ~NamedObject() = default;
  virtual std::string Name() const = 0;
};

}  // namespace corvid::dao
