#pragma once
// Numeric constants of the desktop database object model, with their
// traditional names, so that code written against that model reads the same.

namespace dao {

enum DataTypeEnum : int {
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
    dbDecimal = 20,
};

enum FieldAttributeEnum : long {
    dbFixedField = 1,
    dbVariableField = 2,
    dbAutoIncrField = 16,
    dbUpdatableField = 32,
    dbSystemField = 8192,
};

enum RecordsetTypeEnum : int {
    dbOpenTable = 1,
    dbOpenDynaset = 2,
    dbOpenSnapshot = 4,
    dbOpenForwardOnly = 8,
};

enum RecordsetOptionEnum : int {
    dbDenyWrite = 1,
    dbDenyRead = 2,
    dbReadOnly = 4,
    dbAppendOnly = 8,
    dbInconsistent = 16,
    dbConsistent = 32,
    dbSQLPassThrough = 64,
    dbFailOnError = 128,
    dbForwardOnly = 256,
    dbSeeChanges = 512,
};

enum EditModeEnum : int {
    dbEditNone = 0,
    dbEditInProgress = 1,
    dbEditAdd = 2,
};

enum QueryDefTypeEnum : int {
    dbQSelect = 0,
    dbQCrosstab = 16,
    dbQDelete = 32,
    dbQUpdate = 48,
    dbQAppend = 64,
    dbQMakeTable = 80,
    dbQDDL = 96,
    dbQSetOperation = 128,
    dbQAction = 240,
};

enum TableDefAttributeEnum : long {
    dbSystemObject = -2147483646L,
    dbHiddenObject = 1,
};

constexpr long dbSortGeneral = 1033;
constexpr int dbRefreshCache = 8;
constexpr int dbUseJet = 2;

// Locale strings accepted by CreateDatabase.
inline constexpr const char* dbLangGeneral = ";LANGID=0x0409;CP=1252;COUNTRY=0";

} // namespace dao
