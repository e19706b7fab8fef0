#pragma once
// End-member Gibbs energies with their P and T derivatives, V = dG/dP and -S = dG/dT, from one
// evaluation: the enthalpy-entropy, heat-capacity, Tait volume and order-disorder terms are
// differentiated analytically, a pure Sterner-Pitzer fluid gives its volume. What is not (the
// Einstein variant, melts, the 190 layout, the channel fluid of cordierite, aqueous species, a
// clamped thermal pressure, the temperature dependence of fluids) is taken by central differences.
// For root searches along reaction lines.

#include <span>
#include <string_view>

#include "base/real.hpp"
#include "model/datamodel.hpp"
#include "textio/session.hpp"
#include "thermo/gem.hpp"
#include "thermo/makes.hpp"
#include "thermo/reactions.hpp"

namespace qv {

// Which derivatives a caller needs; the ones not asked for come back as 0.
struct GemNeed {
    bool p = true;
    bool t = true;
};

// `gem` (the same G to the last bit, counted as one evaluation) with its derivatives.
GTerm gem_derivs(Session& ses, const GemSettings& gs, const tdvector& row, std::string_view name,
                 real p, real t, OrderState order = OrderState::equilibrium, GemNeed need = {});

// `gemdriver` (made end-members too) with its derivatives.
GTerm gemdriver_derivs(Session& ses, const GemSettings& gs, const GemTables& tables, int16 k,
                       real p, real t, GemNeed need = {});

// ln K of one reaction at one fluid composition, kept by a caller that evaluates the reaction
// again and again with the activities unchanged (a root search): calclnk forms it at the first
// evaluation, the later ones take it from here.
struct LnkMemo {
    bool have = false;
    real lnk = 0;
};

// `calcdgr` with derivatives from gemdriver_derivs: dG (the same value as calcdgr's to the last
// bit), its derivatives as asked, and ln K (from `memo` once it holds it).
ReactionDg calcdgr_derivs(Session& ses, const GemSettings& gs, ReactionTables& tab,
                          const iemvector& rx, real p, real t, real u, real v, GemNeed need,
                          LnkMemo* memo = nullptr);
// The same with the reaction's end-members listed (by `reactionmembers`).
ReactionDg calcdgr_derivs(Session& ses, const GemSettings& gs, ReactionTables& tab,
                          const iemvector& rx, std::span<const int16> members, real p, real t,
                          real u, real v, GemNeed need, LnkMemo* memo = nullptr);

}  // namespace qv
