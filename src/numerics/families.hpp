#pragma once
// The fixed-capacity vector and matrix families that the numerical toolkit works on, under the
// names the data model gives them. All indices start at 1; the matrices are rows of vectors, so
// m[i][j] is row i, column j. The larger ones belong on the heap.

#include <string>

#include "numerics/fixed.hpp"
#include "numerics/real.hpp"

namespace qv {

inline constexpr int maxsvdrows = 800;    // rows of the matrix handed to the SVD
inline constexpr int maxsvdcols = 400;    // columns of that matrix
inline constexpr int maxxyz = 24;         // order of covariance matrices
inline constexpr int maxsort = 5000;      // entries of a list to sort
inline constexpr int maxpolyterms = 20;   // terms of a polynomial in P and T
inline constexpr int maxeqvars = 90;      // variables and equations of the equilibrium problem
inline constexpr int maxcomponents = 26;  // chemical components

using svdvector = Fixed1<real, maxsvdcols>;
using svdmatrix = Fixed1<svdvector, maxsvdrows>;   // 5 MB
using svdvmatrix = Fixed1<svdvector, maxsvdcols>;  // 2.5 MB

using xyzvector = Fixed1<real, maxxyz>;
using xyzmatrix = Fixed1<xyzvector, maxxyz>;
using covmatrix = xyzmatrix;
using invmatrix = xyzmatrix;

using sortvector = Fixed1<real, maxsort>;
using polyvector = Fixed1<real, maxpolyterms>;

using eqvector = Fixed1<real, maxeqvars>;
using eqmatrix = Fixed1<eqvector, maxeqvars>;
using beqvector = Fixed1<bool, maxeqvars>;
using seqvector = Fixed1<std::string, maxeqvars>;  // names of the equilibrium variables
using scvector = Fixed1<std::string, maxcomponents>;

}  // namespace qv
