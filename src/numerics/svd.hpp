#pragma once
// Singular value decomposition A = U diag(w) V^T of a real m x n matrix (m <= 800, n <= 400) by
// Householder bidiagonalisation and implicit-shift QR sweeps (Golub-Reinsch), in extended
// precision. The Newton step of the equilibrium solver, uncertainty propagation and the average
// P-T least squares all go through it.

#include "base/families.hpp"
#include "textio/console.hpp"

namespace qv {

// The three arrays of one decomposition, worked in place (7.5 MB: allocate on the heap).
struct SvdArrays {
    svdmatrix svda;   // on entry A in rows 1..m, columns 1..n; on return U (m x n)
    svdvector svdw;   // on return the singular values w[1..n], ascending
    svdvmatrix svdv;  // on return V (n x n), the right singular vectors as columns
};

// Factorises the m x n matrix in s.svda. A singular value that has not converged after 31 QR
// passes is reported on the console ("too many iterations (k = ...)") and left as it stands; the
// callers judge the singular values themselves.
void svd(Console& con, SvdArrays& s, int16 m, int16 n);

}  // namespace qv
