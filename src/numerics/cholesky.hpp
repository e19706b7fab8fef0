#pragma once
// Cholesky factor and inverse of symmetric positive-definite matrices of order up to 24: the
// covariance matrices of reactions, of compositional variables and of bulk compositions.
// Only the lower triangle of the input is read, so a non-symmetric matrix is taken as the
// symmetric matrix of its lower triangle.

#include "base/families.hpp"
#include "textio/console.hpp"

namespace qv {

// The lower-triangular l with l l^T = a over the leading n x n block; the entries of that block
// above the diagonal are set to 0. A pivot that is not positive (a matrix that is singular or not
// positive definite) is shown on the console with its row, and the run stops: "sqrt negative".
void inverse(Console& con, covmatrix a, covmatrix& l, int16 n);
// b = a^-1 over the leading n x n block, both triangles filled, from the Cholesky factor; stops
// as `inverse` does when a is not positive definite.
void cholinvert(Console& con, covmatrix a, invmatrix& b, int16 n);

}  // namespace qv
