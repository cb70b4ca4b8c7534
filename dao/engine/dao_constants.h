#pragma once
// DAO's numeric constants: field type codes, attribute bits, recordset types,
// OpenRecordset options and error numbers. Values are DAO's own.

#include <cstdint>

namespace corvid::dao {

// Field Type codes (Field.Type).
enum FieldType : int {
  dbBoolean = 1,
  dbByte = 2,
  dbInteger = 3,
  dbLong = 4,
  dbCurrency = 5,
  dbSingle = 6,
  dbDouble = 7,
  dbDate = 8,
  dbBinary = 9,
  dbText = 10,
  dbLongBinary = 11,
  dbMemo = 12,
  dbGUID = 15,
  dbBigInt = 16,
  dbVarBinary = 17,
  dbChar = 18,
  dbNumeric = 19,
  dbDecimal = 20,
  dbFloat = 21,
  dbTime = 22,
  dbTimeStamp = 23,
  dbAttachment = 101,
  dbComplexByte = 102,
  dbComplexInteger = 103,
  dbComplexLong = 104,
  dbComplexSingle = 105,
  dbComplexDouble = 106,
  dbComplexGUID = 107,
  dbComplexDecimal = 108,
  dbComplexText = 109,
};

// A column of a type the engine does not read keeps its number as stored in
// the file: Field.Type is kUnknownStoredType + that number (outside DAO's
// codes, so that it is never taken for one of them).
inline constexpr int kUnknownStoredType = 0x10000;
inline constexpr bool IsUnknownStoredType(int type) {
  return type >= kUnknownStoredType && type < kUnknownStoredType + 0x100;
}

// Field.Attributes bits.
inline constexpr std::int32_t dbFixedField = 0x1;
inline constexpr std::int32_t dbVariableField = 0x2;
inline constexpr std::int32_t dbAutoIncrField = 0x10;
inline constexpr std::int32_t dbUpdatableField = 0x20;
inline constexpr std::int32_t dbSystemField = 0x2000;
inline constexpr std::int32_t dbHyperlinkField = 0x8000;

// TableDef.Attributes bits; a table with either of the first two is the engine's own.
inline constexpr std::int32_t dbSystemObject = static_cast<std::int32_t>(0x80000002u);
inline constexpr std::int32_t dbHiddenObject = 0x1;
inline constexpr std::int32_t dbAttachedTable = 0x40000000;

// Recordset types (OpenRecordset's Type argument, Recordset.Type).
enum RecordsetType : int {
  dbOpenTable = 1,
  dbOpenDynaset = 2,
  dbOpenSnapshot = 4,
  dbOpenForwardOnly = 8,
  dbOpenDynamic = 16,
};

// OpenRecordset's Options argument bits.
inline constexpr int dbDenyWrite = 1, dbDenyRead = 2, dbReadOnly = 4, dbAppendOnly = 8,
                     dbInconsistent = 16, dbConsistent = 32, dbSQLPassThrough = 64,
                     dbFailOnError = 128, dbForwardOnly = 256, dbSeeChanges = 512,
                     dbRunAsync = 1024, dbExecDirect = 2048;

// Recordset.EditMode.
inline constexpr int dbEditNone = 0, dbEditInProgress = 1, dbEditAdd = 2;

// Workspace types (CreateWorkspace's Type argument).
inline constexpr int dbUseODBC = 1, dbUseJet = 2;

// Engine.Idle arguments.
inline constexpr int dbFreeLocks = 1, dbRefreshCache = 8;

// QueryDef.Type codes.
inline constexpr int dbQSelect = 0, dbQCrosstab = 16, dbQDelete = 32, dbQUpdate = 48,
                     dbQAppend = 64, dbQMakeTable = 80, dbQDDL = 96, dbQSQLPassThrough = 112,
                     dbQSetOperation = 128, dbQSPTBulk = 144, dbQCompound = 160, dbQProcedure = 224,
                     dbQAction = 240;

// Parameter.Direction.
inline constexpr int dbParamInput = 1, dbParamOutput = 2, dbParamInputOutput = 3,
                     dbParamReturnValue = 4;

// Error numbers carried by EngineError (Error.Number).
enum ErrorNumber : int {
  kNoCurrentRecord = 3021,        // "No current record."
  kFileNotFound = 3024,           // "Could not find file '<path>'."
  kCannotUpdate = 3027,           // "Cannot update. Database or object is read-only."
  kNotValidAccount = 3029,        // "Not a valid account name or password."
  kNotValidPassword = 3031,       // "Not a valid password."
  kPathNotValid = 3044,           // "'<path>' is not a valid path."
  kFileInUse = 3045,              // "Could not use '<path>'; file already in use."
  kCannotOpenFile = 3051,         // permission and other open failures
  kObjectNotFound = 3078,         // no such table or query
  kOperationNotSupported = 3251,  // "Operation is not supported for this type of object."
  kItemNotFound = 3265,           // "Item not found in this collection."
  kRecordDeleted = 3167,          // "Record is deleted."
  kNotBookmarkable = 3159,        // "Not a valid bookmark."
  kUnrecognizedFormat = 3343,     // "Unrecognized database format '<path>'."
  kDatabaseDamaged = 3049,        // a value or page of the file cannot be read (damaged file)
  kInvalidArgument = 3001,        // "Invalid argument."
  kInvalidOperation = 3219,       // "Invalid operation."
  kObjectInvalid = 3420,          // "Object invalid or no longer set." (closed objects)
  kIsamNotFound = 3170,           // "Could not find installable ISAM."
  kOdbcCallFailed = 3146,         // "ODBC--call failed."
  // Editing.
  kUpdateWithoutEdit = 3020,  // "Update or CancelUpdate without AddNew or Edit."
  kFieldTooSmall = 3163,      // "The field is too small to accept the amount of data ..."
  kFieldNotUpdatable = 3164,  // "Field cannot be updated."
  kRequiredFieldNull = 3314,  // "The field '<t>.<f>' cannot contain a Null value ..."
  kZeroLengthString = 3315,   // "Field '<t>.<f>' cannot be a zero-length string."
  kConversionError = 3421,    // "Data type conversion error."
  kRecordTooLarge = 3047,     // "Record is too large."
};

}  // namespace corvid::dao
