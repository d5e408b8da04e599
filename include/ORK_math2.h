// ORK_math2: data analysis. TCurveFit with the unit's singular value
// routines; smoothing, filters and derivatives of sampled signals;
// multivariate linear methods (covariance, eigenvectors, principal
// components, pseudo-inverse, regression); clustering and nearest
// neighbours; plane geometry and image correlation.
#pragma once

#include "numbra_frame.h"
#include "ORK_matrix.h"
#include "ORK_vector.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace numbra {

/// Raised by the routines and classes of ORK_math2.
NUMBRA_DECLARE_EXCEPTION(EORKMath2Error, EORKError);

// ===========================================================================
// Singular value routines
// ===========================================================================

// ===========================================================================
// TCurveFit
// ===========================================================================

// ===========================================================================
// Smoothing, filters and derivatives
// ===========================================================================

// ===========================================================================
// Multivariate linear methods
// ===========================================================================

// ===========================================================================
// Clustering and nearest neighbours
// ===========================================================================

// ===========================================================================
// Plane geometry and image correlation
// ===========================================================================

}  // namespace numbra
