#include "dao/values/key_conditions.h"

#include <langinfo.h>
#include <locale.h>

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "SrcLib/text_case.h"
#include "dao/dataset/field.h"
#include "dao/engine/database_error.h"

namespace corvid {
namespace {

constexpr const char* kKeyCountMessage =
    "Number of elements in the KeyValues array must be equal to the number of fields.";

enum class TermKind { Text, Numeric, Date, Time, DateTime, Bytes, Unsupported };

TermKind KindOf(TFieldType type) {
  switch (type) {
    case TFieldType::ftString:
    case TFieldType::ftBlob:
    case TFieldType::ftMemo:
      return TermKind::Text;
    case TFieldType::ftAutoInc:
      return TermKind::Numeric;
    case TFieldType::ftDate:
      return TermKind::Date;
    case TFieldType::ftTime:
      return TermKind::Time;
    case TFieldType::ftDateTime:
      return TermKind::DateTime;
    case TFieldType::ftBytes:
      return TermKind::Bytes;
    default:
      break;
  }
  // ftSmallint to ftBCD: the numbers (and Booleans, whose texts are True and False).
  const int t = static_cast<int>(type);
  if (t >= static_cast<int>(TFieldType::ftSmallint) && t <= static_cast<int>(TFieldType::ftBCD))
    return TermKind::Numeric;
  return TermKind::Unsupported;
}

std::string DoubledQuotes(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  for (char c : text) {
    out += c;
    if (c == '"') out += '"';
  }
  return out;
}

std::string Quoted(std::string_view text) { return "\"" + DoubledQuotes(text) + "\""; }

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  if (from.empty()) return;
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
}

std::string NumericText(std::string v, const ConditionLocale& locale) {
  if (!locale.thousandsSeparator.empty() && locale.thousandsSeparator != locale.decimalSeparator)
    ReplaceAll(v, locale.thousandsSeparator, "");
  if (locale.decimalSeparator != ".") ReplaceAll(v, locale.decimalSeparator, ".");
  return v;
}

// The braced GUID text of a key value given as "{...}", "{guid {...}}" or
// the bare 36 characters.
std::string BracedGuid(std::string_view v) {
  std::string text(v);
  if (text.size() > 6 && SameText(text.substr(0, 6), "{guid ") && text.back() == '}')
    text = text.substr(6, text.size() - 7);
  if (text.size() == 36 && text.front() != '{') text = "{" + text + "}";
  return text;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::optional<int> Number(std::string_view text) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  int value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc{} || result.ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

std::vector<std::string_view> SplitAny(std::string_view text, char a, char b) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == a || text[i] == b) {
      parts.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  return parts;
}

int CurrentYear() {
  const auto today = std::chrono::floor<std::chrono::days>(std::chrono::system_clock::now());
  return static_cast<int>(std::chrono::year_month_day(today).year());
}

// A two-digit year lies within 50 years around the current year.
int FullYear(int year, std::size_t digits) {
  if (digits > 2) return year;
  const int now = CurrentYear();
  int full = now / 100 * 100 + year;
  if (full > now + 49) full -= 100;
  if (full <= now - 51) full += 100;
  return full;
}

std::optional<std::int32_t> ReadDatePart(std::string_view text, const ConditionLocale& locale) {
  const auto parts = SplitAny(text, '/', locale.dateSeparator);
  if (parts.size() != 3) return std::nullopt;
  int values[3];
  for (int i = 0; i < 3; ++i) {
    const auto n = Number(parts[static_cast<std::size_t>(i)]);
    if (!n) return std::nullopt;
    values[i] = *n;
  }
  int year = 0, month = 0, day = 0;
  std::size_t yearDigits = 0;
  switch (locale.dateOrder) {
    case ConditionLocale::DateOrder::MonthDayYear:
      month = values[0], day = values[1], year = values[2], yearDigits = parts[2].size();
      break;
    case ConditionLocale::DateOrder::DayMonthYear:
      day = values[0], month = values[1], year = values[2], yearDigits = parts[2].size();
      break;
    case ConditionLocale::DateOrder::YearMonthDay:
      year = values[0], month = values[1], day = values[2], yearDigits = parts[0].size();
      break;
  }
  year = FullYear(year, yearDigits);
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31)
    return std::nullopt;
  const CivilDate date{year, static_cast<unsigned>(month), static_cast<unsigned>(day)};
  const std::int32_t number = DayNumberFromCivil(date);
  if (CivilFromDayNumber(number) != date) return std::nullopt;  // 31 February and the like
  return number;
}

std::optional<std::int32_t> ReadTimePart(std::string_view text, const ConditionLocale& locale) {
  const auto parts = SplitAny(text, locale.timeSeparator, locale.timeSeparator);
  if (parts.empty() || parts.size() > 3) return std::nullopt;
  int values[3] = {0, 0, 0};
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const auto n = Number(parts[i]);
    if (!n) return std::nullopt;
    values[i] = *n;
  }
  if (values[0] > 23 || values[1] > 59 || values[2] > 59) return std::nullopt;
  return (values[0] * 3600 + values[1] * 60 + values[2]) * 1000;
}

bool ContainsDesignator(std::string_view text, const std::string& designator) {
  if (designator.empty()) return false;
  return LowerCase(text).find(LowerCase(designator)) != std::string::npos;
}

std::string Pad(int value, int width) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%0*d", width, value);
  return buffer;
}

DayAndTime DateValue(const std::string& v, const ConditionLocale& locale) {
  const auto value = ReadDateTimeText(v, locale);
  if (!value) throw DatabaseError("'" + v + "' is not a valid date and time");
  return *value;
}

enum class Purpose { Key, Locate };

std::string Term(const KeyField& field, const std::string& v, Purpose purpose,
                 TLocateOptions options, bool useBrackets, const ConditionLocale& locale) {
  const TermKind kind = KindOf(field.type);
  if (kind == TermKind::Unsupported)
    throw DatabaseError(purpose == Purpose::Key ? "Unable to build Key SQL!"
                                                : "Unable to build Lookup Key SQL!");
  std::string comparison;
  if (v == kNullKeyText) {
    comparison = "IS NULL";
  } else if (kind == TermKind::Text) {
    if (purpose == Purpose::Key) {
      comparison = " = " + Quoted(v);
    } else {
      const bool caseless = (options & loCaseInsensitive) != 0;
      const bool partial = (options & loPartialKey) != 0;
      const std::string value = DoubledQuotes(caseless ? LowerCase(v) : v);
      if (partial && caseless)
        comparison = " LIKE LCASE(\"" + EscapeLikePattern(value) + "*\")";
      else if (partial)
        comparison = " LIKE \"" + EscapeLikePattern(value) + "*\"";
      else if (caseless)
        comparison = " = LCASE(\"" + value + "\")";
      else
        comparison = " = \"" + value + "\"";
    }
  } else if (v.empty()) {
    comparison = " IS NULL";
  } else {
    switch (kind) {
      case TermKind::Numeric:
        comparison = " = " + NumericText(v, locale);
        break;
      case TermKind::Date:
        comparison = " = #" + ConditionDateText(DateValue(v, locale)) + "#";
        break;
      case TermKind::Time:
        comparison = " = #" + ConditionTimeText(DateValue(v, locale)) + "#";
        break;
      case TermKind::DateTime:
        comparison = " = #" + ConditionDateTimeText(DateValue(v, locale)) + "#";
        break;
      case TermKind::Bytes:
        // Quotes inside a binary key are doubled like any other literal's,
        // so that the key can't end the literal early.
        comparison = field.isGuid ? " = {guid " + BracedGuid(v) + "}" : " = " + Quoted(v);
        break;
      default:
        break;
    }
  }
  return "(" + ConditionFieldName(field.name, useBrackets) + " " + comparison + ")";
}

std::string BuildCondition(const std::vector<KeyField>& fields,
                           const std::vector<std::string>& values, Purpose purpose,
                           TLocateOptions options, bool useBrackets,
                           const ConditionLocale& locale) {
  if (fields.size() != values.size()) throw DatabaseError(kKeyCountMessage);
  std::string condition;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i) condition += " AND ";
    condition += Term(fields[i], values[i], purpose, options, useBrackets, locale);
  }
  return condition;
}

std::string Trimmed(std::string_view text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && (text[begin] == ' ' || text[begin] == '\t' || text[begin] == '\r')) ++begin;
  while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t' || text[end - 1] == '\r'))
    --end;
  return std::string(text.substr(begin, end - begin));
}

std::string ShortestNumber(double value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

DayAndTime SplitMilliseconds(double milliseconds) {
  const double day = std::floor(milliseconds / kMillisecondsPerDay);
  return {static_cast<std::int32_t>(day),
          static_cast<std::int32_t>(std::llround(milliseconds - day * kMillisecondsPerDay))};
}

std::string MasterTerm(const std::string& detail, const MasterValue& master, bool useBrackets) {
  const std::string name = ConditionFieldName(detail, useBrackets);
  if (std::holds_alternative<std::monostate>(master.value)) return "(" + name + " IS NULL)";
  auto fail = [] { throw DatabaseError("Unable to build Master/Detail SQL Relationship!"); };
  std::string comparison;
  const FieldValue& value = master.value;
  if (master.type == TFieldType::ftBoolean) {
    bool truth = false;
    if (const auto* b = std::get_if<std::int16_t>(&value))
      truth = *b != 0;
    else if (const auto* i = std::get_if<std::int32_t>(&value))
      truth = *i != 0;
    else if (const auto* s = std::get_if<std::string>(&value))
      truth = SameText(*s, "True");
    else
      fail();
    comparison = truth ? " = True" : " = False";
  } else {
    switch (KindOf(master.type)) {
      case TermKind::Text: {
        const auto* s = std::get_if<std::string>(&value);
        if (!s) fail();
        comparison = " = " + Quoted(*s);
        break;
      }
      case TermKind::Numeric:
        if (const auto* i = std::get_if<std::int32_t>(&value))
          comparison = " = " + std::to_string(*i);
        else if (const auto* d = std::get_if<double>(&value))
          comparison = " = " + ShortestNumber(*d);
        else if (const auto* s16 = std::get_if<std::int16_t>(&value))
          comparison = " = " + std::to_string(*s16);
        else
          fail();
        break;
      case TermKind::Date:
        if (const auto* day = std::get_if<std::int32_t>(&value))
          comparison = " = #" + ConditionDateText({*day, 0}) + "#";
        else
          fail();
        break;
      case TermKind::Time:
        if (const auto* ms = std::get_if<std::int32_t>(&value))
          comparison = " = #" + ConditionTimeText({kDayNumberOf1899_12_30, *ms}) + "#";
        else
          fail();
        break;
      case TermKind::DateTime:
        if (const auto* ms = std::get_if<double>(&value))
          comparison = " = #" + ConditionDateTimeText(SplitMilliseconds(*ms)) + "#";
        else
          fail();
        break;
      case TermKind::Bytes: {
        const auto* bytes = std::get_if<std::vector<std::byte>>(&value);
        if (!bytes) fail();
        if (master.isGuid) {
          if (bytes->size() != 16) fail();
          comparison = " = {guid " + GuidText(*bytes) + "}";
        } else {
          comparison = " = " + Quoted(std::string(reinterpret_cast<const char*>(bytes->data()),
                                                  bytes->size()));
        }
        break;
      }
      default:
        fail();
    }
  }
  return "(" + name + " " + comparison + ")";
}

}  // namespace

ConditionLocale ConditionLocale::User() {
  ConditionLocale result;
  locale_t handle = newlocale(LC_ALL_MASK, "", static_cast<locale_t>(nullptr));
  if (handle == static_cast<locale_t>(nullptr)) return result;
  auto info = [&](nl_item item) -> std::string {
    const char* text = nl_langinfo_l(item, handle);
    return text ? std::string(text) : std::string();
  };
  if (std::string radix = info(RADIXCHAR); !radix.empty()) result.decimalSeparator = radix;
  result.thousandsSeparator = info(THOUSEP);
  // The order of day, month and year and the separator between them.
  const std::string dateFormat = info(D_FMT);
  std::string order;
  for (std::size_t i = 0; i + 1 < dateFormat.size(); ++i) {
    if (dateFormat[i] != '%') continue;
    char c = dateFormat[i + 1];
    if (c == 'E' || c == 'O' || c == '-') {
      if (i + 2 >= dateFormat.size()) break;
      c = dateFormat[i + 2];
    }
    if (c == 'd' || c == 'e') order += 'd';
    if (c == 'm') order += 'm';
    if (c == 'y' || c == 'Y') order += 'y';
    if (order.size() == 1) {
      // the separator follows the first field
      const std::size_t after = dateFormat.find_first_not_of("%EO-dmyYe", i + 1);
      if (after != std::string::npos && !IsDigit(dateFormat[after]) && dateFormat[after] != '%')
        result.dateSeparator = dateFormat[after];
    }
    ++i;
  }
  if (order.rfind("dm", 0) == 0)
    result.dateOrder = DateOrder::DayMonthYear;
  else if (order.rfind("y", 0) == 0)
    result.dateOrder = DateOrder::YearMonthDay;
  const std::string timeFormat = info(T_FMT);
  const std::size_t at = timeFormat.find_first_not_of("%HIMSlkpr ");
  if (at != std::string::npos && !IsDigit(timeFormat[at])) result.timeSeparator = timeFormat[at];
  if (std::string pm = info(PM_STR); !pm.empty()) result.pmDesignator = pm;
  if (std::string am = info(AM_STR); !am.empty()) result.amDesignator = am;
  freelocale(handle);
  return result;
}

std::vector<std::string> SplitKeyNames(std::string_view text) {
  std::vector<std::string> names;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(';', start);
    if (end == std::string_view::npos) end = text.size();
    std::string name = Trimmed(text.substr(start, end - start));
    if (!name.empty()) names.push_back(std::move(name));
    start = end + 1;
  }
  return names;
}

std::string ConditionFieldName(std::string_view name, bool useBrackets) {
  if (!useBrackets) return std::string(name);
  std::string out = "[";
  for (char c : name) out += c == '.' ? std::string("].[") : std::string(1, c);
  return out + "]";
}

std::string EscapeLikePattern(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '!':
      case '#':
      case '*':
      case '-':
      case '?':
      case '[':
      case ']':
        out += '[';
        out += c;
        out += ']';
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string NormaliseDateTimeText(std::string_view text, const ConditionLocale& locale) {
  std::string s(text);
  if (s.empty()) return s;
  if (const auto at = s.find("\xE3\x2E"); at != std::string::npos) s.erase(at, 2);
  for (char& c : s)
    if (!IsDigit(c) && c != '/' && c != locale.dateSeparator && c != locale.timeSeparator) c = ' ';
  std::string collapsed;
  for (char c : s)
    if (c != ' ' || (!collapsed.empty() && collapsed.back() != ' ')) collapsed += c;
  while (!collapsed.empty() && collapsed.back() == ' ') collapsed.pop_back();
  // The blank in front of the first time separator stays; every other goes.
  const std::size_t firstTime = collapsed.find(locale.timeSeparator);
  std::size_t marked = std::string::npos;
  if (firstTime != std::string::npos) marked = collapsed.rfind(' ', firstTime);
  std::string out;
  for (std::size_t i = 0; i < collapsed.size(); ++i) {
    if (collapsed[i] != ' ')
      out += collapsed[i];
    else if (i == marked)
      out += ' ';
  }
  return out;
}

std::optional<DayAndTime> ReadDateTimeText(std::string_view text, const ConditionLocale& locale) {
  const std::string normal = NormaliseDateTimeText(text, locale);
  if (normal.empty()) return std::nullopt;
  std::string datePart, timePart;
  if (const auto blank = normal.find(' '); blank != std::string::npos) {
    datePart = normal.substr(0, blank);
    timePart = normal.substr(blank + 1);
  } else if (normal.find(locale.timeSeparator) != std::string::npos &&
             normal.find('/') == std::string::npos &&
             (locale.dateSeparator == locale.timeSeparator ||
              normal.find(locale.dateSeparator) == std::string::npos)) {
    timePart = normal;
  } else {
    datePart = normal;
  }
  DayAndTime value{kDayNumberOf1899_12_30, 0};
  if (!datePart.empty()) {
    const auto day = ReadDatePart(datePart, locale);
    if (!day) return std::nullopt;
    value.day = *day;
  }
  if (!timePart.empty()) {
    const auto ms = ReadTimePart(timePart, locale);
    if (!ms) return std::nullopt;
    value.milliseconds = *ms;
    // The normalising drops AM/PM designators: apply them here.
    constexpr std::int32_t kNoon = 12 * 3600 * 1000;
    if (ContainsDesignator(text, locale.pmDesignator) && value.milliseconds < kNoon)
      value.milliseconds += kNoon;
    else if (ContainsDesignator(text, locale.amDesignator) && value.milliseconds >= kNoon &&
             value.milliseconds < kNoon + 3600 * 1000)
      value.milliseconds -= kNoon;
  }
  return value;
}

std::string ConditionDateText(const DayAndTime& value) {
  const CivilDate date = CivilFromDayNumber(value.day);
  return Pad(static_cast<int>(date.month), 2) + "/" + Pad(static_cast<int>(date.day), 2) + "/" +
         Pad(date.year, 4);
}

std::string ConditionTimeText(const DayAndTime& value) {
  const std::int32_t seconds = value.milliseconds / 1000;
  return Pad(seconds / 3600, 2) + ":" + Pad(seconds / 60 % 60, 2) + ":" + Pad(seconds % 60, 2);
}

std::string ConditionDateTimeText(const DayAndTime& value) {
  return ConditionDateText(value) + " " + ConditionTimeText(value);
}

std::string KeyCondition(const std::vector<KeyField>& fields,
                         const std::vector<std::string>& values, bool useBrackets,
                         const ConditionLocale& locale) {
  return BuildCondition(fields, values, Purpose::Key, 0, useBrackets, locale);
}

std::string LocateCondition(const std::vector<KeyField>& fields,
                            const std::vector<std::string>& values, TLocateOptions options,
                            bool useBrackets, const ConditionLocale& locale) {
  return BuildCondition(fields, values, Purpose::Locate, options, useBrackets, locale);
}

MasterDetailFields ParseMasterFields(const std::vector<std::string>& lines) {
  MasterDetailFields result;
  constexpr std::string_view kArrow = " -> ";
  bool pairs = lines.size() > 1;
  for (const std::string& line : lines)
    if (line.find(kArrow) != std::string::npos) pairs = true;
  if (!pairs) {
    if (!lines.empty()) result.detail = result.master = SplitKeyNames(lines.front());
    return result;
  }
  for (const std::string& line : lines) {
    const auto at = line.find(kArrow);
    if (at == std::string::npos) continue;
    std::string detail = Trimmed(std::string_view(line).substr(0, at));
    std::string master = Trimmed(std::string_view(line).substr(at + kArrow.size()));
    if (detail.empty() || master.empty()) continue;
    result.detail.push_back(std::move(detail));
    result.master.push_back(std::move(master));
  }
  return result;
}

std::string MasterDetailCondition(const std::vector<std::string>& detailFields,
                                  const std::vector<MasterValue>& masterValues, bool useBrackets) {
  if (detailFields.size() != masterValues.size())
    throw DatabaseError("The number of Master and Detail fields must be equal!");
  std::string condition;
  for (std::size_t i = 0; i < detailFields.size(); ++i) {
    if (i) condition += " AND ";
    condition += MasterTerm(detailFields[i], masterValues[i], useBrackets);
  }
  return condition;
}

}  // namespace corvid
