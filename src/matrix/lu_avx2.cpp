// The inner loops of the LU factorisation and the inverse for processors
// with AVX2 (compiled with -mavx2, without -mfma; called only when the
// product kernels run the AVX2 set, see lu.cpp).
#define NUMBRA_LU_NS lu_avx2
#include "matrix/lu_kernels.h"
