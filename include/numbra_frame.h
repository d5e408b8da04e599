// numbra_frame: the component frame shared by every numbra unit -- the
// corvel runtime and base-package names made available in namespace numbra,
// and the macro that declares a unit's exception class.
#pragma once

#include "ORK_dstruct.h"
#include "ORK_filesys.h"
#include "ORK_orkbase.h"
#include "ORK_orkcolors.h"
#include "ORK_streams.h"
#include "ORK_stringl.h"
#include "ORK_univconst.h"
#include "corvel_runtime.h"
#include "numbra_export.h"

namespace numbra {

// Runtime layer.
using corvel::EConvertError;
using corvel::EFCreateError;
using corvel::EFOpenError;
using corvel::EInOutError;
using corvel::EMathError;
using corvel::EOutOfMemory;
using corvel::EReadError;
using corvel::EStreamError;
using corvel::EWriteError;
using corvel::Exception;
using corvel::Random;
using corvel::Randomize;
using corvel::RandSeed;
using corvel::SetRandSeed;
using corvel::TComponent;
using corvel::TFileMode;
using corvel::TFileStream;
using corvel::TMemoryStream;
using corvel::TNotifyEvent;
using corvel::TObject;
using corvel::TPersistent;
using corvel::TSeekOrigin;
using corvel::TStream;
using corvel::TTextReader;
using corvel::TTextWriter;

// Base package.
using corvel::AbortMathProc;
using corvel::CalcNextCRC32;
using corvel::EORKError;
using corvel::MathFeedBackProc;
using corvel::ProcStat;
using corvel::ReadExtendedFromStream;
using corvel::ReadLongintFromStream;
using corvel::RemoveControlChars;
using corvel::ReplaceCharInString;
using corvel::RGBtoGray;
using corvel::RGBtoHSI;
using corvel::SciText;
using corvel::StepProcStat;
using corvel::strff;
using corvel::StringContains;
using corvel::TBitFld;
using corvel::TDecPSep;
using corvel::TDegreeFormat;
using corvel::TDims;
using corvel::TDouble2DArray;
using corvel::TDoubleArray;
using corvel::TIntArray;
using corvel::TLanguage;
using corvel::TLogicOp;
using corvel::TMathFeedBackProc;
using corvel::TOnCheckAbortEvent;
using corvel::TOnPercentDoneEvent;
using corvel::TOrientation;
using corvel::TPDblArray;
using corvel::TPointDouble;
using corvel::TRectDouble;
using corvel::TSortExchgEvent;
using corvel::TVarKind;
using corvel::uc_MaxDouble;
using corvel::uc_MaxReal;
using corvel::uc_sqrt2;
using corvel::uc_sqrt2pitom1;
using corvel::WriteExtendedToStream;
using corvel::WriteLongintToStream;

}  // namespace numbra

/// Declares a numbra exception class (message only) whose type information
/// lives once in the library; its destructor is defined in the unit's .cpp
/// with NUMBRA_DEFINE_EXCEPTION.
#define NUMBRA_DECLARE_EXCEPTION(Name, Base) \
  class NUMBRA_EXPORT Name : public Base {   \
   public:                                   \
    using Base::Base;                        \
    ~Name() override;                        \
    Name(const Name&) = default;             \
    Name& operator=(const Name&) = default;  \
  }
#define NUMBRA_DEFINE_EXCEPTION(Name) Name::~Name() = default
