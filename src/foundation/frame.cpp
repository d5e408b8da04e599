// Exception classes of the foundation units.
#include "ORK_math1.h"
#include "foundation/frame_detail.h"

namespace numbra {

NUMBRA_DEFINE_EXCEPTION(EORKMath1Error);

}  // namespace numbra
