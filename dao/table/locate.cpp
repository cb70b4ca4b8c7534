// TVxDaoTable: locate and the key-based find family. The search runs on a
// clone of the table's recordset (an index Seek on table-type recordsets,
// FindFirst and its siblings otherwise); the table itself moves once, by
// bookmark, when a match is found.

#include <algorithm>
#include <cmath>
#include <charconv>

#include "SrcLib/quietly.h"
#include "SrcLib/text_case.h"
#include "dao/dao_database.h"
#include "dao/engine/dao_constants.h"
#include "dao/engine/database_error.h"
#include "dao/engine/recordset.h"
#include "dao/table/bookmark_value.h"
#include "dao/table/dao_table.h"
#include "dao/values/value_text.h"

namespace corvid {
namespace {

constexpr const char* kKeyCountMessage =
    "Number of elements in the KeyValues array must be equal to the number of fields.";

// Closes a clone however the search ends.
class CloneGuard {
 public:
  explicit CloneGuard(std::unique_ptr<dao::Recordset> clone) : clone_(std::move(clone)) {}
  ~CloneGuard() {
    Quietly("a destructor does not throw; the clone is given up either way", [&] {
      if (clone_) clone_->Close();
    });
  }
  CloneGuard(const CloneGuard&) = delete;
  CloneGuard& operator=(const CloneGuard&) = delete;
  dao::Recordset& operator*() const { return *clone_; }
  dao::Recordset* operator->() const { return clone_.get(); }

 private:
  std::unique_ptr<dao::Recordset> clone_;
};

std::string PlainNumber(std::string text, const ConditionLocale& locale) {
  auto replace = [&](std::string_view from, std::string_view to) {
    if (from.empty()) return;
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
      text.replace(at, from.size(), to);
  };
  if (locale.thousandsSeparator != locale.decimalSeparator) replace(locale.thousandsSeparator, "");
  if (locale.decimalSeparator != ".") replace(locale.decimalSeparator, ".");
  return text;
}

std::optional<double> NumberOf(const std::string& text, const ConditionLocale& locale) {
  const std::string plain = PlainNumber(text, locale);
  double value = 0;
  const auto result = std::from_chars(plain.data(), plain.data() + plain.size(), value);
  if (plain.empty() || result.ec != std::errc{} || result.ptr != plain.data() + plain.size())
    return std::nullopt;
  return value;
}

double AutomationDate(const DayAndTime& value) {
  const double day = value.day - kDayNumberOf1899_12_30;
  const double fraction = value.milliseconds / static_cast<double>(kMillisecondsPerDay);
  return day < 0 ? day - fraction : day + fraction;
}

// A key value as a Seek key of the field's kind. A text that does not read
// as the field's kind stays text, and Seek refuses it with the engine's
// type-mismatch error.
dao::Variant SeekKey(const KeyField& field, const std::string& text,
                     const ConditionLocale& locale) {
  if (text == kNullKeyText) return dao::Null{};
  switch (field.type) {
    case TFieldType::ftString:
    case TFieldType::ftMemo:
    case TFieldType::ftBlob:
      return text;
    default:
      break;
  }
  if (text.empty()) return dao::Null{};
  switch (field.type) {
    case TFieldType::ftBoolean:
      if (SameText(text, "True") || text == "-1" || text == "1") return true;
      if (SameText(text, "False") || text == "0") return false;
      return text;
    case TFieldType::ftSmallint:
    case TFieldType::ftInteger:
    case TFieldType::ftWord:
    case TFieldType::ftAutoInc:
    case TFieldType::ftLargeint: {
      const auto number = NumberOf(text, locale);
      if (!number) return text;
      if (*number == std::floor(*number)) return static_cast<std::int64_t>(*number);
      return *number;
    }
    case TFieldType::ftFloat:
    case TFieldType::ftCurrency:
    case TFieldType::ftBCD: {
      const auto number = NumberOf(text, locale);
      if (!number) return text;
      return *number;
    }
    case TFieldType::ftDate:
    case TFieldType::ftTime:
    case TFieldType::ftDateTime: {
      const auto value = ReadDateTimeText(text, locale);
      if (!value) return text;
      DayAndTime when = *value;
      if (field.type == TFieldType::ftDate) when.milliseconds = 0;
      if (field.type == TFieldType::ftTime) when.day = kDayNumberOf1899_12_30;
      return dao::Date{AutomationDate(when)};
    }
    case TFieldType::ftBytes:
      if (field.isGuid) {
        std::string guid = text;
        if (guid.size() > 6 && SameText(guid.substr(0, 6), "{guid ") && guid.back() == '}')
          guid = guid.substr(6, guid.size() - 7);
        if (guid.size() == 36) guid = "{" + guid + "}";
        for (char& c : guid) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return "{guid " + guid + "}";
      } else {
        const auto* p = reinterpret_cast<const std::byte*>(text.data());
        return dao::Bytes(p, p + text.size());
      }
    default:
      return text;
  }
}

// Whether a record's value satisfies a key the way locate means it: equal,
// or for text fields with the partial option, starting with the key (text
// compared without regard to case, as the index orders it).
bool SatisfiesKey(const dao::Variant& value, const KeyField& field, const std::string& key,
                  bool partial, const ConditionLocale& locale) {
  const dao::Variant wanted = SeekKey(field, key, locale);
  if (dao::IsNull(wanted) || dao::IsNull(value)) return dao::IsNull(wanted) && dao::IsNull(value);
  if (const auto* text = std::get_if<std::string>(&value)) {
    const auto* other = std::get_if<std::string>(&wanted);
    if (!other) return false;
    if (partial && (field.type == TFieldType::ftString || field.type == TFieldType::ftMemo ||
                    field.type == TFieldType::ftBlob))
      return LowerCase(*text).rfind(LowerCase(*other), 0) == 0;
    return SameText(*text, *other);
  }
  auto number = [](const dao::Variant& v) -> std::optional<double> {
    if (const auto* b = std::get_if<bool>(&v)) return *b ? -1.0 : 0.0;
    if (const auto* i = std::get_if<std::int64_t>(&v)) return static_cast<double>(*i);
    if (const auto* f = std::get_if<float>(&v)) return static_cast<double>(*f);
    if (const auto* d = std::get_if<double>(&v)) return *d;
    if (const auto* c = std::get_if<dao::Currency>(&v)) return c->ToDouble();
    if (const auto* t = std::get_if<dao::Date>(&v)) return t->days;
    return std::nullopt;
  };
  const auto a = number(value), b = number(wanted);
  if (a && b) {
    if (std::holds_alternative<float>(value))
      return static_cast<float>(*a) == static_cast<float>(*b);
    if (std::holds_alternative<dao::Date>(value))
      return std::fabs(*a - *b) < 0.5 / kMillisecondsPerDay;
    return *a == *b;
  }
  return value == wanted;
}

}  // namespace

bool TVxDaoTable::LocatePreconditions() const {
  return Active() && !IsEmpty() && !HasRecordFilter() && recordset_ && database_ &&
         database_->Connected();
}

std::vector<KeyField> TVxDaoTable::KeyFieldsOf(const std::vector<std::string>& names) const {
  std::vector<KeyField> fields;
  for (const std::string& name : names) {
    const TField& field = FieldByName(name);
    fields.push_back({field.FieldName(), field.DataType(), field.ValidChars() == kGuidChars});
  }
  return fields;
}

void TVxDaoTable::SplitKeys(std::string_view keyFields, const std::vector<std::string>& keyValues,
                            std::vector<KeyField>& fields) const {
  const std::vector<std::string> names = SplitKeyNames(keyFields);
  if (names.size() != keyValues.size()) throw DatabaseError(kKeyCountMessage);
  fields = KeyFieldsOf(names);
}

void TVxDaoTable::MoveToMatch(dao::Recordset& clone) {
  const dao::Bytes bookmark = clone.Bookmark();
  CheckBrowseMode();
  CursorMovedElsewhere();
  DoBeforeScroll();
  const bool typeWithPosition = tableType_ == 2 || tableType_ == 4 || tableType_ == 16;
  const std::int32_t position =
      typeWithPosition ? clone.AbsolutePosition() : PositionFromBookmark(BookmarkValueOf(bookmark));
  recordset_->SetBookmark(bookmark);
  cursorPos_ = position;
  Resync();
  DoAfterScroll();
}

bool TVxDaoTable::Locate(std::string_view keyFields, const std::vector<std::string>& keyValues,
                         TLocateOptions options) {
  if (!LocatePreconditions()) return false;
  std::vector<KeyField> fields;
  SplitKeys(keyFields, keyValues, fields);
  const ConditionLocale locale = KeyLocale();
  if (DaoRecordBuffer* active = ActiveRecordBuffer()) SyncToBuffer(active);
  CursorMovedElsewhere();
  const std::int32_t remembered = cursorPos_;
  if (!hasBookmarks_) return LocateWithoutBookmarks(fields, keyValues, options, remembered);

  const bool partial = (options & loPartialKey) != 0;
  if (tableType_ != dao::dbOpenTable) {
    const std::string condition = LocateCondition(fields, keyValues, options, useBrackets_, locale);
    CloneGuard clone(recordset_->Clone());
    clone->MoveFirst();
    clone->FindFirst(condition);
    if (clone->NoMatch()) return false;
    MoveToMatch(*clone);
    return true;
  }

  // Table-type: an index whose fields are the key fields, then one led by a
  // key field that holds them all, or IndexName.
  auto inKeys = [&](const std::string& name) {
    return std::any_of(fields.begin(), fields.end(),
                       [&](const KeyField& k) { return SameText(k.name, name); });
  };
  auto exact = [&]() -> const TVxDaoIndexDef* {
    for (const TVxDaoIndexDef& def : indexDefs_) {
      if (def.foreign) continue;
      const auto list = def.FieldList();
      if (list.size() == fields.size() &&
          std::all_of(fields.begin(), fields.end(), [&](const KeyField& k) {
            return std::any_of(list.begin(), list.end(),
                               [&](const std::string& n) { return SameText(n, k.name); });
          }))
        return &def;
    }
    return nullptr;
  };
  auto covering = [&]() -> const TVxDaoIndexDef* {
    for (const TVxDaoIndexDef& def : indexDefs_) {
      if (def.foreign) continue;
      const auto list = def.FieldList();
      if (list.size() >= fields.size() && !list.empty() && inKeys(list.front()) &&
          std::all_of(fields.begin(), fields.end(), [&](const KeyField& k) {
            return std::any_of(list.begin(), list.end(),
                               [&](const std::string& n) { return SameText(n, k.name); });
          }))
        return &def;
    }
    return nullptr;
  };
  const TVxDaoIndexDef* chosen = nullptr;
  const TVxDaoIndexDef* named = indexName_.empty() ? nullptr : indexDefs_.Find(indexName_);
  if (autoFindIndex_) {
    chosen = exact();
    if (!chosen) chosen = covering();
    if (!chosen) chosen = named;
  } else {
    chosen = named;
    if (!chosen) chosen = exact();
    if (!chosen) chosen = covering();
  }
  if (!chosen)
    throw DatabaseError(
        "Index Property is Empty!\nYou must set an index before using Locate with StandardTables");

  // Keys in the index's field order, up to the last index field with a value.
  const std::vector<std::string> indexFields = chosen->FieldList();
  std::vector<dao::Variant> keys;
  std::vector<int> keyOf(indexFields.size(), -1);
  std::size_t keyCount = 0;
  for (std::size_t i = 0; i < indexFields.size() && i < 13; ++i) {
    for (std::size_t k = 0; k < fields.size(); ++k)
      if (SameText(fields[k].name, indexFields[i])) keyOf[i] = static_cast<int>(k);
    if (keyOf[i] >= 0) keyCount = i + 1;
  }
  for (std::size_t i = 0; i < keyCount; ++i)
    keys.push_back(keyOf[i] >= 0 ? SeekKey(fields[static_cast<std::size_t>(keyOf[i])],
                                           keyValues[static_cast<std::size_t>(keyOf[i])], locale)
                                 : dao::Variant(dao::Null{}));
  const bool coversAll = std::all_of(indexFields.begin(), indexFields.end(), inKeys);
  const std::string comparison = coversAll && !partial ? "=" : ">=";

  CloneGuard clone(recordset_->Clone());
  clone->SetIndex(chosen->name);
  clone->MoveFirst();
  clone->Seek(comparison, keys);
  if (clone->NoMatch()) return false;
  // ">=" lands on the first record at or after the keys: it is a match only
  // when its key fields hold the keys.
  for (std::size_t k = 0; k < fields.size(); ++k) {
    const int no = FieldByName(fields[k].name).FieldNo();
    if (no <= 0) continue;
    if (!SatisfiesKey(clone->Fields().Item(no - 1).Value(), fields[k], keyValues[k], partial,
                      locale))
      return false;
  }
  // Bookmarks name records, not places in an order: the clone's bookmark
  // finds the record in the table's own order too.
  MoveToMatch(*clone);
  return true;
}

bool TVxDaoTable::LocateWithoutBookmarks(const std::vector<KeyField>& fields,
                                         const std::vector<std::string>& values,
                                         TLocateOptions options, std::int32_t rememberedPos) {
  const bool caseless = (options & loCaseInsensitive) != 0;
  const bool partial = (options & loPartialKey) != 0;
  std::vector<std::string> keys;
  for (const std::string& value : values) {
    std::string key = caseless ? LowerCase(value) : value;
    if (partial) {
      if (!key.empty() && key.front() == '*') key.erase(key.begin());
      if (!key.empty() && key.back() == '*') key.pop_back();
    }
    keys.push_back(std::move(key));
  }
  std::vector<int> numbers;
  for (const KeyField& field : fields) numbers.push_back(FieldByName(field.name).FieldNo());

  CheckBrowseMode();
  CursorMovedElsewhere();
  DoBeforeScroll();
  recordset_->MoveFirst();
  std::int32_t count = 0;
  while (!recordset_->Eof()) {
    bool all = true;
    for (std::size_t k = 0; k < fields.size() && all; ++k) {
      if (numbers[k] <= 0 || static_cast<std::size_t>(numbers[k] - 1) >= fieldObjects_.size()) {
        all = false;
        break;
      }
      const dao::Variant value = fieldObjects_[static_cast<std::size_t>(numbers[k] - 1)]->Value();
      if (values[k] == kNullKeyText) {
        all = dao::IsNull(value);
        continue;
      }
      std::string text = ValueTextFromVariant(value);
      if (caseless) text = LowerCase(text);
      all = partial ? text.find(keys[k]) != std::string::npos : text == keys[k];
    }
    if (all) {
      cursorPos_ = count;
      Resync();
      DoAfterScroll();
      return true;
    }
    recordset_->MoveNext();
    ++count;
  }
  recordset_->MoveFirst();
  if (rememberedPos > 0) recordset_->Move(rememberedPos);
  cursorPos_ = rememberedPos;
  Resync();
  DoAfterScroll();
  return false;
}

bool TVxDaoTable::FindKey(FindKind kind, std::string_view keyFields,
                          const std::vector<std::string>& keyValues, TLocateOptions options) {
  if (!LocatePreconditions()) return false;
  std::vector<KeyField> fields;
  SplitKeys(keyFields, keyValues, fields);
  if (!hasBookmarks_) return false;
  if (DaoRecordBuffer* active = ActiveRecordBuffer()) SyncToBuffer(active);
  CursorMovedElsewhere();
  const std::string condition =
      LocateCondition(fields, keyValues, options, useBrackets_, KeyLocale());
  CloneGuard clone(recordset_->Clone());
  clone->MoveFirst();
  if (cursorPos_ > 0) clone->Move(cursorPos_);
  switch (kind) {
    case FindKind::First:
      clone->FindFirst(condition);
      break;
    case FindKind::Last:
      clone->FindLast(condition);
      break;
    case FindKind::Next:
      clone->FindNext(condition);
      break;
    case FindKind::Prior:
      clone->FindPrevious(condition);
      break;
  }
  if (clone->NoMatch()) return false;
  MoveToMatch(*clone);
  return true;
}

bool TVxDaoTable::FindFirst(std::string_view keyFields, const std::vector<std::string>& keyValues,
                            TLocateOptions options) {
  return FindKey(FindKind::First, keyFields, keyValues, options);
}
bool TVxDaoTable::FindLast(std::string_view keyFields, const std::vector<std::string>& keyValues,
                           TLocateOptions options) {
  return FindKey(FindKind::Last, keyFields, keyValues, options);
}
bool TVxDaoTable::FindNext(std::string_view keyFields, const std::vector<std::string>& keyValues,
                           TLocateOptions options) {
  return FindKey(FindKind::Next, keyFields, keyValues, options);
}
bool TVxDaoTable::FindPrior(std::string_view keyFields, const std::vector<std::string>& keyValues,
                            TLocateOptions options) {
  return FindKey(FindKind::Prior, keyFields, keyValues, options);
}

}  // namespace corvid
