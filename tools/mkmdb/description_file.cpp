#include "tools/mkmdb/description_file.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

namespace corvid::mkmdb {

using namespace corvid::jet;

namespace {

[[noreturn]] void LineError(int line, const std::string& what) {
  throw WriterError("line " + std::to_string(line) + ": " + what);
}

std::string Lower(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Trim(const std::string& s) {
  const auto begin = s.find_first_not_of(" \t\r");
  if (begin == std::string::npos) return {};
  const auto end = s.find_last_not_of(" \t\r");
  return s.substr(begin, end - begin + 1);
}

// Reads a quoted string starting at s[pos] == '"'; returns the position after it.
std::size_t ReadQuoted(const std::string& s, std::size_t pos, std::string& out, int line) {
  ++pos;
  while (pos < s.size()) {
    const char c = s[pos++];
    if (c == '"') return pos;
    if (c != '\\') {
      out += c;
      continue;
    }
    if (pos >= s.size()) break;
    const char e = s[pos++];
    switch (e) {
      case 'n':
        out += '\n';
        break;
      case 't':
        out += '\t';
        break;
      case '"':
        out += '"';
        break;
      case '\\':
        out += '\\';
        break;
      default:
        LineError(line, std::string("unknown escape \\") + e);
    }
  }
  LineError(line, "unterminated quoted text");
}

// Whitespace-separated words; quoted words may hold spaces.
std::vector<RawValue> Words(const std::string& s, int line) {
  std::vector<RawValue> words;
  std::size_t pos = 0;
  while (pos < s.size()) {
    if (std::isspace(static_cast<unsigned char>(s[pos]))) {
      ++pos;
      continue;
    }
    RawValue word;
    if (s[pos] == '"') {
      word.quoted = true;
      pos = ReadQuoted(s, pos, word.text, line);
    } else {
      while (pos < s.size() && !std::isspace(static_cast<unsigned char>(s[pos])))
        word.text += s[pos++];
    }
    words.push_back(std::move(word));
  }
  return words;
}

// Comma-separated values.
std::vector<RawValue> RowValues(const std::string& s, int line) {
  std::vector<RawValue> values;
  std::size_t pos = 0;
  while (true) {
    while (pos < s.size() && std::isspace(static_cast<unsigned char>(s[pos]))) ++pos;
    RawValue value;
    if (pos < s.size() && s[pos] == '"') {
      value.quoted = true;
      pos = ReadQuoted(s, pos, value.text, line);
      while (pos < s.size() && std::isspace(static_cast<unsigned char>(s[pos]))) ++pos;
      if (pos < s.size() && s[pos] != ',') LineError(line, "expected a comma after quoted text");
    } else {
      const auto comma = s.find(',', pos);
      value.text =
          Trim(s.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos));
      pos = comma == std::string::npos ? s.size() : comma;
      if (value.text.empty()) LineError(line, "empty value (write NULL or \"\")");
    }
    values.push_back(std::move(value));
    if (pos >= s.size()) break;
    ++pos;  // the comma
  }
  return values;
}

const std::map<std::string, ColumnType>& TypeNames() {
  static const std::map<std::string, ColumnType> names{
      {"long", ColumnType::Long},       {"autonumber", ColumnType::AutoNumber},
      {"integer", ColumnType::Integer}, {"byte", ColumnType::Byte},
      {"yesno", ColumnType::YesNo},     {"currency", ColumnType::Currency},
      {"double", ColumnType::Double},   {"datetime", ColumnType::DateTime},
      {"text", ColumnType::Text},       {"memo", ColumnType::Memo},
      {"ole", ColumnType::OleObject},   {"binary", ColumnType::Binary},
      {"guid", ColumnType::Guid},       {"attachment", ColumnType::Attachment}};
  return names;
}

std::int64_t ParseInteger(const std::string& text, const ColumnDef& column, int line) {
  std::int64_t v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size())
    LineError(line, "column \"" + column.name + "\" expects an integer, not \"" + text + "\"");
  return v;
}

double ParseNumber(const std::string& text, const ColumnDef& column, int line) {
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(v))
    LineError(line, "column \"" + column.name + "\" expects a number, not \"" + text + "\"");
  return v;
}

std::int64_t ParseCurrency(const std::string& text, const ColumnDef& column, int line) {
  const bool negative = !text.empty() && text[0] == '-';
  const std::string body = negative ? text.substr(1) : text;
  const auto dot = body.find('.');
  const std::string whole = body.substr(0, dot);
  std::string fraction = dot == std::string::npos ? "" : body.substr(dot + 1);
  if (whole.empty() || fraction.size() > 4 ||
      whole.find_first_not_of("0123456789") != std::string::npos ||
      fraction.find_first_not_of("0123456789") != std::string::npos || whole.size() > 14)
    LineError(line, "column \"" + column.name +
                        "\" expects an amount with at most 4 decimals, not \"" + text + "\"");
  fraction.append(4 - fraction.size(), '0');
  const std::int64_t units = std::stoll(whole) * 10000 + std::stoll(fraction);
  return negative ? -units : units;
}

Bytes ParseHex(const std::string& hex, int line) {
  if (hex.size() % 2 != 0) LineError(line, "hex: needs an even number of digits");
  Bytes bytes;
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    unsigned v = 0;
    const auto [end, ec] = std::from_chars(hex.data() + i, hex.data() + i + 2, v, 16);
    if (ec != std::errc() || end != hex.data() + i + 2)
      LineError(line, "hex: has a character that is not a hex digit");
    bytes.push_back(static_cast<std::byte>(v));
  }
  return bytes;
}

Bytes ReadBytesFile(const std::string& path, int line) {
  std::ifstream in(path, std::ios::binary);
  if (!in) LineError(line, "cannot read \"" + path + "\"");
  std::vector<char> chars((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  Bytes bytes(chars.size());
  for (std::size_t i = 0; i < chars.size(); ++i) bytes[i] = static_cast<std::byte>(chars[i]);
  return bytes;
}

Guid ParseGuid(const std::string& text, const ColumnDef& column, int line) {
  std::string hex;
  for (char c : text)
    if (c != '{' && c != '}' && c != '-') hex += c;
  if (hex.size() != 32)
    LineError(line, "column \"" + column.name + "\" expects a GUID, not \"" + text + "\"");
  const Bytes b = ParseHex(hex, line);
  Guid guid;
  // Data1..Data3 are stored little-endian, the last eight bytes as written.
  static constexpr int kOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  for (int i = 0; i < 16; ++i) guid.bytes[i] = std::to_integer<std::uint8_t>(b[kOrder[i]]);
  return guid;
}

double ParseDate(const std::string& text, const ColumnDef& column, int line) {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0;
  double second = 0;
  char tail = 0;
  const int n = std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%lf%c", &year, &month, &day, &hour,
                            &minute, &second, &tail);
  const bool ok = (n == 3 || n == 5 || n == 6) && month >= 1 && month <= 12 && day >= 1 &&
                  day <= 31 && hour >= 0 && hour < 24 && minute >= 0 && minute < 60 &&
                  second >= 0 && second < 60;
  if (!ok) {
    return ParseNumber(text, column, line);  // days since 1899-12-30
  }
  return DaysSince1899(year, month, day, hour, minute, second);
}

}  // namespace

double DaysSince1899(int year, int month, int day, int hour, int minute, double second) {
  // Days from the civil calendar (proleptic Gregorian), relative to 1970-01-01.
  auto daysFromCivil = [](int y, int m, int d) {
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
  };
  const int days = daysFromCivil(year, month, day) - daysFromCivil(1899, 12, 30);
  const double fraction = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
  // Before 1899-12-30 the fraction still counts forward from midnight.
  return days >= 0 ? days + fraction : days - fraction;
}

Value ConvertValue(const RawValue& raw, const ColumnDef& column, const std::string& baseDirectory,
                   int line) {
  if (!raw.quoted && Lower(raw.text) == "null") return Null;
  const std::string& t = raw.text;
  switch (column.type) {
    case ColumnType::Long:
    case ColumnType::AutoNumber:
    case ColumnType::Attachment:  // the key the row's files carry
    case ColumnType::Integer:
    case ColumnType::Byte:
      return ParseInteger(t, column, line);
    case ColumnType::YesNo: {
      const std::string l = Lower(t);
      if (l == "true" || l == "yes" || l == "1") return true;
      if (l == "false" || l == "no" || l == "0") return false;
      LineError(line, "column \"" + column.name + "\" expects true or false, not \"" + t + "\"");
    }
    case ColumnType::Currency:
      return Currency{ParseCurrency(t, column, line)};
    case ColumnType::Double:
      return ParseNumber(t, column, line);
    case ColumnType::DateTime:
      return Date{ParseDate(t, column, line)};
    case ColumnType::Text:
    case ColumnType::Memo:
      return t;
    case ColumnType::Guid:
      return ParseGuid(t, column, line);
    case ColumnType::OleObject:
    case ColumnType::Binary:
      if (raw.quoted) {
        Bytes bytes(t.size());
        for (std::size_t i = 0; i < t.size(); ++i) bytes[i] = static_cast<std::byte>(t[i]);
        return bytes;
      }
      if (t.rfind("hex:", 0) == 0) return ParseHex(t.substr(4), line);
      if (t.rfind("file:", 0) == 0) {
        std::filesystem::path p(t.substr(5));
        if (p.is_relative() && !baseDirectory.empty()) p = std::filesystem::path(baseDirectory) / p;
        return ReadBytesFile(p.string(), line);
      }
      LineError(line, "column \"" + column.name + "\" expects hex:..., file:... or quoted text");
  }
  LineError(line, "column \"" + column.name + "\" has an unknown type");
}

Description ParseDescription(std::istream& in, std::string baseDirectory) {
  Description d;
  d.baseDirectory = std::move(baseDirectory);
  std::string text;
  int line = 0;
  while (std::getline(in, text)) {
    ++line;
    const std::string trimmed = Trim(text);
    if (trimmed.empty() || trimmed[0] == '#') continue;
    const auto space = trimmed.find_first_of(" \t");
    const std::string keyword = Lower(trimmed.substr(0, space));
    const std::string rest = space == std::string::npos ? "" : Trim(trimmed.substr(space));
    if (keyword == "format") {
      const std::string f = Lower(rest);
      if (f == "jet4") {
        d.options.format = JetFormat::Jet4;
      } else if (f == "jet3") {
        d.options.format = JetFormat::Jet3;
      } else if (f == "ace2007") {
        d.options.format = JetFormat::Ace2007;
      } else {
        LineError(line, "unknown format \"" + rest + "\" (jet3, jet4 or ace2007)");
      }
    } else if (keyword == "password") {
      const auto words = Words(rest, line);
      if (words.size() != 1) LineError(line, "password needs one value");
      d.options.password = words[0].text;
    } else if (keyword == "table") {
      const auto words = Words(rest, line);
      if (words.size() != 1) LineError(line, "table needs one name (quote names with spaces)");
      d.tables.push_back(DescribedTable{TableDef{words[0].text, {}}, {}, {}});
    } else if (keyword == "column") {
      if (d.tables.empty()) LineError(line, "column before any table");
      if (!d.tables.back().rows.empty()) LineError(line, "column after the table's rows");
      const auto words = Words(rest, line);
      if (words.size() < 2) LineError(line, "column needs a name and a type");
      const auto type = TypeNames().find(Lower(words[1].text));
      if (type == TypeNames().end())
        LineError(line, "unknown column type \"" + words[1].text + "\"");
      ColumnDef column{words[0].text, type->second, 0, true};
      for (std::size_t i = 2; i < words.size(); ++i) {
        const std::string w = Lower(words[i].text);
        if (w == "nocompress") {
          column.compressUnicode = false;
        } else if ((column.type == ColumnType::Text || column.type == ColumnType::Binary) &&
                   i == 2) {
          int size = 0;
          const auto [end, ec] = std::from_chars(w.data(), w.data() + w.size(), size);
          if (ec != std::errc() || end != w.data() + w.size())
            LineError(line, "bad size \"" + words[i].text + "\"");
          column.size = size;
        } else {
          LineError(line, "unexpected \"" + words[i].text + "\" after the column type");
        }
      }
      d.tables.back().definition.columns.push_back(std::move(column));
    } else if (keyword == "row") {
      if (d.tables.empty()) LineError(line, "row before any table");
      auto values = RowValues(rest, line);
      const auto& columns = d.tables.back().definition.columns;
      if (values.size() != columns.size())
        LineError(line, std::to_string(values.size()) + " values for " +
                            std::to_string(columns.size()) + " columns");
      d.tables.back().rows.push_back(std::move(values));
      d.tables.back().rowLines.push_back(line);
    } else {
      LineError(line, "unknown keyword \"" + keyword + "\"");
    }
  }
  return d;
}

namespace {

// The files of an attachment value "files:a.pdf;b.jpg", or none.
std::vector<std::filesystem::path> AttachedFiles(const RawValue& raw, const ColumnDef& column,
                                                 const std::string& baseDirectory) {
  if (column.type != ColumnType::Attachment || raw.quoted || raw.text.rfind("files:", 0) != 0)
    return {};
  std::vector<std::filesystem::path> files;
  std::stringstream list(raw.text.substr(6));
  for (std::string item; std::getline(list, item, ';');) {
    std::filesystem::path p(item);
    if (p.is_relative() && !baseDirectory.empty()) p = std::filesystem::path(baseDirectory) / p;
    files.push_back(std::move(p));
  }
  return files;
}

}  // namespace

void WriteDescribedDatabase(const Description& description, const std::string& path) {
  MdbWriter writer(path, description.options);
  for (const auto& table : description.tables) {
    auto& t = writer.AddTable(table.definition);
    std::vector<Value> row;
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
      const int line = table.rowLines[r];
      // An attachment value "files:..." stores the row number as the key the files carry.
      const auto key = static_cast<std::int32_t>(r + 1);
      std::vector<std::pair<std::string, std::vector<std::filesystem::path>>> attachments;
      row.clear();
      for (std::size_t c = 0; c < table.rows[r].size(); ++c) {
        const ColumnDef& column = table.definition.columns[c];
        auto files = AttachedFiles(table.rows[r][c], column, description.baseDirectory);
        if (files.empty()) {
          row.push_back(ConvertValue(table.rows[r][c], column, description.baseDirectory, line));
        } else {
          row.push_back(std::int64_t{key});
          attachments.emplace_back(column.name, std::move(files));
        }
      }
      try {
        t.AddRow(row);
        for (const auto& [column, files] : attachments)
          for (const auto& file : files) {
            const Bytes bytes = ReadBytesFile(file.string(), line);
            t.AddAttachment(column, key, {file.filename().string(), bytes});
          }
      } catch (const WriterError& e) {
        LineError(line, e.what());
      }
    }
  }
  writer.Finish();
}

}  // namespace corvid::mkmdb
