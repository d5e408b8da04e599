// numbra: umbrella header. Includes the public header of every unit.
#pragma once

#include "numbra_frame.h"

#if __has_include("ORK_math1.h")
#include "ORK_math1.h"
#endif
#if __has_include("ORK_complex.h")
#include "ORK_complex.h"
#endif
#include "ORK_vector.h"
#if __has_include("ORK_matrix.h")
#include "ORK_matrix.h"
#endif
#if __has_include("ORK_datatable.h")
#include "ORK_datatable.h"
#endif
#if __has_include("ORK_statis.h")
#include "ORK_statis.h"
#endif
#if __has_include("ORK_math2.h")
#include "ORK_math2.h"
#endif
#if __has_include("ORK_fourier.h")
#include "ORK_fourier.h"
#endif
#if __has_include("ORK_wavelet.h")
#include "ORK_wavelet.h"
#endif
#if __has_include("ORK_sline.h")
#include "ORK_sline.h"
#endif
#if __has_include("ORK_kohonen.h")
#include "ORK_kohonen.h"
#endif
