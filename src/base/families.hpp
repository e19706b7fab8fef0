#pragma once
// The fixed-capacity vector and matrix families of the whole program, each with its capacity,
// defined once here. All indices start at 1; the matrices are rows of vectors, so m[i][j] is
// row i, column j. The larger ones belong on the heap.

#include <string>

#include "base/fixed.hpp"
#include "base/grow.hpp"
#include "base/real.hpp"

namespace qv {

inline constexpr int maxem = 400;         // end-members of a run
inline constexpr int maxreac = 150;       // reactions of the reaction table
inline constexpr int maxcomp = 26;        // chemical components
inline constexpr int maxeq = 90;          // variables and equations of the equilibrium problem
inline constexpr int ntd = 31;            // thermodynamic values of a dataset end-member
inline constexpr int maxvalues = 40;      // values of the words of one input line or entry
inline constexpr int maxxyz = 24;         // order of covariance matrices
inline constexpr int maxsvdrows = 800;    // rows of the matrix handed to the SVD
inline constexpr int maxsvdcols = maxem;  // columns of that matrix: one per end-member
inline constexpr int maxsort = 5000;      // entries of a list to sort
inline constexpr int maxpolyterms = 20;   // terms of a polynomial in P and T

// The 400-entry family: one entry per end-member (also the index arrays of combinations and
// counters, and the rows of integer matrices).
using emvector = Fixed1<real, maxem>;
using iemvector = Fixed1<int16, maxem>;
using liemvector = Fixed1<int32, maxem>;
using xemvector = Fixed1<real, maxem>;
// Covariance of end-member enthalpies: rows are made as the run's end-members use them.
using emmatrix = Grow1<emvector, maxem>;
// Integer matrices of compositions and reactions (rows are components, at most a few dozen):
// rows are made as written, so a matrix costs what it holds rather than 640 kB.
using liemmatrix = Grow1<liemvector, maxem>;

// The 150-entry family.
using rmatrix = Fixed1<iemvector, maxreac>;  // reaction coefficients: reaction x end-member

// The 26-entry family.
using cvector = Fixed1<real, maxcomp>;
using icvector = Fixed1<int16, maxcomp>;
using scvector = Fixed1<std::string, maxcomp>;
using icmatrix = Fixed1<iemvector, maxcomp>;  // compositions: component x end-member

// The 90-entry family: P, T, composition variables and modes of the equilibrium problem.
using eqvector = Fixed1<real, maxeq>;
using eqmatrix = Fixed1<eqvector, maxeq>;
using beqvector = Fixed1<bool, maxeq>;
using seqvector = Fixed1<std::string, maxeq>;  // names of the equilibrium variables

// The 40-entry family: the values of the words of one line.
using rrvector = Fixed1<real, maxvalues>;
using irrvector = Fixed1<int16, maxvalues>;
using srrvector = Fixed1<std::string, maxvalues>;

// The dataset values of an end-member, one row per end-member.
using tdvector = Fixed1<real, ntd>;
using tdmatrix = Fixed1<tdvector, maxem>;

// The 24-entry family.
using xyzvector = Fixed1<real, maxxyz>;
using xyzmatrix = Fixed1<xyzvector, maxxyz>;
using covmatrix = xyzmatrix;
using invmatrix = xyzmatrix;

// The SVD's work matrices: rows are made as the sizes decomposed need them (5 MB and 2.5 MB at
// full capacity).
using svdvector = Fixed1<real, maxsvdcols>;
using svdmatrix = Grow1<svdvector, maxsvdrows>;
using svdvmatrix = Grow1<svdvector, maxsvdcols>;

using sortvector = Fixed1<real, maxsort>;
using polyvector = Fixed1<real, maxpolyterms>;

}  // namespace qv
