// ORK_orkbase: the base exception class, the process-wide progress and abort
// globals, and the array, geometry, enumeration and event types shared by all
// numbra units.
#pragma once

#include "corvel_export.h"
#include "corvel_runtime.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace corvel {

/// Base of the exceptions of every numbra unit (message only).
CORVEL_DECLARE_EXCEPTION(EORKError, Exception);

// ---- progress and abort -------------------------------------------------

/// Progress counter: long loops add 1.0 after each step (a sorting pass, a
/// matrix row). Never reset by the library unless an operation says so.
extern CORVEL_EXPORT std::atomic<double> ProcStat;
/// Called with the new ProcStat after each step; empty means none.
using TMathFeedBackProc = std::function<void(double ProcStat)>;
/// The handler StepProcStat calls; empty by default. Process-wide and
/// unguarded: the host sets it (the numbra tool shows progress through it).
extern CORVEL_EXPORT TMathFeedBackProc MathFeedBackProc;
/// Abort flag: loops that can be stopped test it once per outer step and
/// leave with their failure result when it is true. Safe to set from another
/// thread.
extern CORVEL_EXPORT std::atomic<bool> AbortMathProc;

/// Adds 1.0 to ProcStat and calls MathFeedBackProc (when set) with the new
/// value: the one progress step of the library's long loops.
CORVEL_EXPORT void StepProcStat();

// ---- arrays and geometry ------------------------------------------------

/// Array of doubles (index 0 first).
using TDoubleArray = std::vector<double>;
/// Array of 32-bit signed integers (index 0 first).
using TIntArray = std::vector<int32_t>;
/// Array of double arrays (rows, each of its own length).
using TDouble2DArray = std::vector<std::vector<double>>;

/// Point in the plane with double coordinates.
struct TPointDouble {
  /// x coordinate.
  double x = 0.0;
  /// y coordinate.
  double y = 0.0;
};
/// Array of points (index 0 first).
using TPDblArray = std::vector<TPointDouble>;

/// Axis-parallel rectangle with double coordinates.
struct TRectDouble {
  double left = 0.0;    ///< left x
  double top = 0.0;     ///< top y
  double right = 0.0;   ///< right x
  double bottom = 0.0;  ///< bottom y
};

// ---- enumerations (used by ordinal in numbra) ---------------------------

/// Element kind of the generic array routines: 0 and 1 double, 2 single,
/// 3 and 4 32-bit signed integer; the others are not handled by them.
enum class TVarKind : uint8_t {
  vkDouble,
  vkReal,
  vkSingle,
  vkInteger,
  vkLongint,
  vkByte,
  vkWord,
  vkString
};
/// Angle text formats: decimal degrees; degrees and decimal minutes;
/// degrees, minutes and decimal seconds; decimal degrees without a sign.
enum class TDegreeFormat : uint8_t { dfDecDeg, dfDegMin, dfDegMinSec, dfDecDegNoSign };
/// Aggregation direction: along each row, along each column.
enum class TOrientation : uint8_t { orRows, orColumns };
/// Destination dimension: a row, a column.
enum class TDims : uint8_t { dimRow, dimColumn };
/// Decimal separator accepted by the text scanners.
enum class TDecPSep : uint8_t { dpsPoint, dpsComma, dpsBoth };
/// Language of month and day names.
enum class TLanguage : uint8_t { lgEnglish, lgGerman };
/// Bitwise combination of TBitFld::CombineWith.
enum class TLogicOp : uint8_t { loAND, loOR, loXOR, loNAND, loNOR, loNXOR };

// ---- events -------------------------------------------------------------

/// Sort exchange: (sender, what was exchanged: 0 vector elements, 1 columns,
/// 2 rows; the two exchanged indices; the two range bounds).
using TSortExchgEvent = std::function<void(TObject* Sender, uint8_t ExchgWhat, int32_t Index1,
                                           int32_t Index2, int32_t First, int32_t Last)>;
/// Whole-percent progress of a component.
using TOnPercentDoneEvent = std::function<void(TObject* Sender, int32_t Percent)>;
/// Lets a handler request an abort by setting Abort to true.
using TOnCheckAbortEvent = std::function<void(TObject* Sender, bool& Abort)>;

}  // namespace corvel
