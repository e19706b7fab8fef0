#pragma once
// The kinds that name what a run calculates: its calculation mode, the type of its diagram and
// the fluid type of its phases.

namespace qv {

// The calculation mode chosen at start-up (menu code 1, 2, 3, 9, or 0 for the utilities).
enum class calcmodetype {
    utilitycalc = 0,
    nlecalc = 1,
    rockcalc = 2,
    phasecalc = 3,
    lsqdscalc = 4
};
// The axes of a phase diagram: P-T, P-x, T-x, P or T against ln a or mu.
enum class diagramtype { ptcalc, pxcalc, txcalc, plnacalc, tlnacalc, pmucalc, tmucalc };

// Fluid type of a run: set from its phases, and to ih2oco2 when a mixed H2O-CO2 composition is
// given; absent means no fluid phase.
enum class ftype { notset, several, absent, h2o, co2, h2oco2, ih2oco2, chos, h2oaq, h2oco2aq };

}  // namespace qv
