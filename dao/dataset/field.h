#pragma once
// A field object of the data-set base: one column of the current record.

#include <functional>
#include <string>

#include "dao/dataset/field_type.h"
#include "dao/dataset/field_value.h"

namespace corvid {

class TDataSet;
class TField;

using TFieldGetTextEvent = std::function<void(TField& sender, std::string& text, bool displayText)>;
using TFieldSetTextEvent = std::function<void(TField& sender, const std::string& text)>;

class TField {
 public:
  TField(TDataSet& dataSet, std::string name, TFieldType type, TFieldKind kind, int size);

  TDataSet& DataSet() const { return *dataSet_; }
  const std::string& FieldName() const { return name_; }
  TFieldType DataType() const { return type_; }
  TFieldKind FieldKind() const { return kind_; }
  int FieldNo() const { return fieldNo_; }  // 1-based; 0 when not a data field
  int Size() const { return size_; }
  bool IsBlob() const { return IsBlobType(type_); }

  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool value) { readOnly_ = value; }
  const std::string& DisplayLabel() const { return displayLabel_.empty() ? name_ : displayLabel_; }
  void SetDisplayLabel(std::string label) { displayLabel_ = std::move(label); }
  int DisplayWidth() const { return displayWidth_; }
  void SetDisplayWidth(int width) { displayWidth_ = width; }
  // The valid characters of typed input; empty means any.
  const std::string& ValidChars() const { return validChars_; }
  void SetValidChars(std::string chars) { validChars_ = std::move(chars); }
  int Precision() const { return precision_; }
  void SetPrecision(int precision) { precision_ = precision; }
  const std::string& DefaultExpression() const { return defaultExpression_; }
  void SetDefaultExpression(std::string text) { defaultExpression_ = std::move(text); }

  TFieldGetTextEvent OnGetText;
  TFieldSetTextEvent OnSetText;

  // The text value of the current record (empty for NULL).
  std::string AsString() const;
  // The text shown to the user (OnGetText may replace it).
  std::string DisplayText() const;
  bool IsNull() const;
  // The native value (monostate for NULL).
  FieldValue Value() const;
  // Sets the value from text through OnSetText or the data set (the data
  // set must be in its edit or insert state).
  void SetText(const std::string& text);
  // Sets the native value (monostate: NULL), as SetText needs it.
  void SetValue(const FieldValue& value);
  void Clear() { SetValue(std::monostate{}); }
  // The value before the current edit started (monostate for NULL).
  FieldValue OldValue() const;
  // Accepts a new value from the data set (the field-change notification).
  void NotifyChanged();

  // Used by the data set when binding fields to definitions.
  void Bind(int fieldNo, int calcSlot) {
    fieldNo_ = fieldNo;
    calcSlot_ = calcSlot;
  }
  int CalculatedSlot() const { return calcSlot_; }
  bool IsDefault() const { return isDefault_; }
  void SetIsDefault(bool value) { isDefault_ = value; }

 private:
  TDataSet* dataSet_;
  std::string name_;
  TFieldType type_;
  TFieldKind kind_;
  int size_;
  int fieldNo_ = 0;
  int calcSlot_ = -1;
  int precision_ = 0;
  bool readOnly_ = false;
  bool isDefault_ = false;
  std::string displayLabel_;
  int displayWidth_ = 0;
  std::string validChars_;
  std::string defaultExpression_;
};

// The text of a native value by field type: integers in decimal; floats and
// currency as the shortest round-trip text with the user's decimal
// separator; Booleans "True"/"False"; dates as the user's short date, times
// as the long time, date-times as both (midnight shows the date alone);
// GUID bytes in their braced 38-character form; other bytes raw.
std::string NativeValueText(TFieldType type, const FieldValue& value, bool isGuid);

// The braced upper-case text of 16 GUID bytes in their in-memory order.
std::string GuidText(const std::vector<std::byte>& bytes);
// Parses "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (braces optional); throws
// std::invalid_argument for anything else.
std::vector<std::byte> ParseGuid(std::string_view text);

// "-", "0".."9", "A".."F", "a".."f", "{", "}": marks a GUID field.
inline constexpr std::string_view kGuidChars = "-0123456789ABCDEFabcdef{}";

}  // namespace corvid
