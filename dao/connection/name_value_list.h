#pragma once
// A list of "name=value" lines, as the login parameters are exchanged with an
// OnLogin handler and kept in PresetLoginParams. Names compare without regard
// to ASCII letter case; a name that is not present reads as an empty value.

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvid {

class NameValueList {
 public:
  NameValueList() = default;
  NameValueList(std::initializer_list<std::string> lines) : lines_(lines) {}

  const std::vector<std::string>& Lines() const { return lines_; }
  std::vector<std::string>& Lines() { return lines_; }
  bool Empty() const { return lines_.empty(); }
  void Clear() { lines_.clear(); }
  void Add(std::string line) { lines_.push_back(std::move(line)); }

  // The value of the first line named `name`, or nullopt.
  std::optional<std::string> Find(std::string_view name) const;
  // The value of `name`, empty when not present.
  std::string Value(std::string_view name) const;
  // Replaces the first line named `name`, or appends one.
  void SetValue(std::string_view name, std::string_view value);
  // Removes every line named `name`.
  void Remove(std::string_view name);

 private:
  std::vector<std::string> lines_;
};

}  // namespace corvid
