#pragma once
// Order-disorder terms of end-member Gibbs energies: the Landau form (rows 14-16: Tc0, Smax,
// Vmax) and the Bragg-Williams form (rows 20-25: dH, dV, W, WV, n, f).

#include <string_view>

#include "base/real.hpp"
#include "model/datamodel.hpp"
#include "thermo/gem.hpp"

namespace qv {

struct ThermoWork;

// G of ordering (kJ) of the row at p (kbar) and t (K): Bragg-Williams when row 24 holds the
// model integer, else Landau when Smax (row 15) is positive, else 0. The logarithms of the
// Bragg-Williams terms are kept in `w`.
real gorder(ThermoWork& w, const GemSettings& gs, const tdvector& row, std::string_view name,
            real p, real t, OrderState order);

// Landau order-disorder G at p, t; the 190 layout uses its older pressure dependence.
real landaug(const tdvector& row, bool ds190, std::string_view name, real p, real t,
             OrderState order);

// The equilibrium Bragg-Williams order fraction: the root in [1e-7, 0.9999999] of the derivative
// of G by Q, for the model integer n, the constant dg and the interaction w (kJ), and the form
// factor f. The logarithms at the points of the halvings are kept in `work`.
real bisectx(ThermoWork& work, int n, real t, real dg, real w, real f);
// That derivative (with the opposite sign: positive means more order lowers G).
real bisectfunc(int n, real t, real dg, real w, real f, real x);

// Bragg-Williams Gibbs energy of disordering of a row at order fraction q, p and t (for checks
// of the equilibrium and for the order states of made end-members).
real braggwilliamsg(ThermoWork& w, const tdvector& row, real q, real p, real t);

// gorder with its P and T derivatives. At the equilibrium order parameter dG/dQ = 0, and where Q
// sits at a bound of its range (or is held ordered or disordered) it does not move with P and T:
// either way the total derivatives are the partial ones at fixed Q. False, with `out` untouched,
// for the Landau form of the 190 layout (its Murnaghan term): the caller takes differences.
bool gorder_derivs(ThermoWork& w, const GemSettings& gs, const tdvector& row, real p, real t,
                   OrderState order, GTerm& out);

}  // namespace qv
