#pragma once
// The Newton direction of one iteration of the equilibrium solver: dx with J dx = e for the
// n x n jacobian J and the residuals e.
//
// A well-conditioned jacobian is solved by LU factorisation with partial pivoting. A singular or
// ill-conditioned one goes to the singular value decomposition, which drops the singular values
// up to 1e-12 of the largest; the LU route is taken only where that decomposition would drop
// none, so both give the same direction up to rounding. The LU test is strict: the 1-norm
// condition number, times n (which bounds the 2-norm one), must stay below 1e10, a hundredfold
// inside the decomposition's own limit. It is decided as the exact inverse would decide it; an
// estimate of the inverse's norm settles the clear cases, and only a jacobian near the limit pays
// for the whole inverse.

#include <memory>
#include <vector>

#include "base/families.hpp"
#include "numerics/svd.hpp"
#include "textio/console.hpp"

namespace qv {

inline constexpr real lucondlimit = 1e10L;  // n x 1-norm condition number the LU route accepts

// What the decomposition says of a jacobian.
struct SvdDirectionInfo {
    bool singular = false;  // a small singular value was dropped
    // Largest over smallest singular value; 0 when the smallest is below 1e-12.
    real cond = 0;
};

// The working space of the directions of one solve, kept between its iterations: the
// decomposition's arrays, made on first need (their rows as the jacobians' sizes need them), and
// the LU factors as one n x n block, row-major from 0, grown as needed.
struct NewtonScratch {
    std::unique_ptr<SvdArrays> svd;
    std::vector<real> lu;

    SvdArrays& svdarrays() {
        if (!svd) svd = std::make_unique<SvdArrays>();
        return *svd;
    }
};

// dx by LU with partial pivoting. False, with dx unset, when a pivot is zero or n times the
// 1-norm condition number reaches `lucondlimit`. `cond1` is the 1-norm condition number the
// choice was made on: the exact value near the limit, else a bound from below (an estimate
// within a small factor, or one column of the inverse past the limit); meaningless after a zero
// pivot.
bool ludirection(NewtonScratch& work, const eqmatrix& j, const eqvector& e, int n, eqvector& dx,
                 real& cond1);

// dx by the singular value decomposition over the singular values kept.
SvdDirectionInfo svddirection(Console& con, NewtonScratch& work, const eqmatrix& j,
                              const eqvector& e, int n, eqvector& dx);

// The singular values' verdict on a jacobian without forming a direction.
SvdDirectionInfo svdcondition(Console& con, NewtonScratch& work, const eqmatrix& j, int n);

}  // namespace qv
