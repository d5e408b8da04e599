// ORK_math2: what the whole unit shares.
#include "ORK_math2.h"

namespace numbra {

NUMBRA_DEFINE_EXCEPTION(EORKMath2Error);

}  // namespace numbra
