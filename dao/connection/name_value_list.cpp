#include "dao/connection/name_value_list.h"

#include <algorithm>

namespace corvid {
namespace {

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// True when `line` is "name=..." for `name` (ASCII letter case ignored).
bool LineHasName(std::string_view line, std::string_view name) {
  const auto equals = line.find('=');
  if (equals == std::string_view::npos || equals != name.size()) return false;
  return std::equal(name.begin(), name.end(), line.begin(),
                    [](char a, char b) { return FoldAscii(a) == FoldAscii(b); });
}

}  // namespace

std::optional<std::string> NameValueList::Find(std::string_view name) const {
  for (const auto& line : lines_) {
    if (LineHasName(line, name)) return line.substr(name.size() + 1);
  }
  return std::nullopt;
}

std::string NameValueList::Value(std::string_view name) const {
  return Find(name).value_or(std::string());
}

void NameValueList::SetValue(std::string_view name, std::string_view value) {
  std::string line(name);
  line += '=';
  line += value;
  for (auto& existing : lines_) {
    if (LineHasName(existing, name)) {
      existing = std::move(line);
      return;
    }
  }
  lines_.push_back(std::move(line));
}

void NameValueList::Remove(std::string_view name) {
  std::erase_if(lines_, [name](const std::string& line) { return LineHasName(line, name); });
}

}  // namespace corvid
