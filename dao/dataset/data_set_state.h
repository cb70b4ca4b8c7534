#pragma once

namespace corvid {

enum class TDataSetState : int {
  dsInactive,
  dsBrowse,
  dsEdit,
  dsInsert,
  dsSetKey,
  dsCalcFields,
  dsFilter,
  dsNewValue,
  dsOldValue,
  dsCurValue,
  dsBlockRead,
  dsInternalCalc,
  dsOpening
};

enum class FetchMode : int { Current, Next, Prior };
enum class FetchResult : int { Ok, AtBof, AtEof, Failed };

enum class TBlobStreamMode : int { bmRead = 0, bmWrite = 1, bmReadWrite = 2 };

enum class TDataAction : int { daFail, daAbort, daRetry };

}  // namespace corvid
