#pragma once
// Activities of the end-members of solution phases. For the modes that take mineral
// compositions as data (rock calculations, reaction diagrams, calibration): the activities and
// their standard deviations at given values of a phase's composition variables, and the table of
// activities of a run's chosen end-members at the P-T for a-x.

#include "model/run.hpp"
#include "script/records.hpp"
#include "textio/session.hpp"

namespace qv {

using empvector = Fixed1<real, maxssem>;  // one value per end-member of a solution phase

// Activity a and standard deviation sd of each end-member of one solution phase; an excluded
// end-member has a = sd = 0 and is not counted in `nactivityem`.
struct ActivitiesSd {
    empvector a;
    empvector sd;
    int16 nactivityem = 0;  // end-members not excluded
};

// Activities with their uncertainties for solution phase `ph` at the composition-variable values
// x (variable v at x[v]), p (kbar) and t (K). The uncertainty combines the sds of the
// composition variables (by a forward step of 0.001) with, when `justrelu` is no, those of the
// interaction energies. One size-weighted (van Laar) form serves both non-ideal models; fluid and
// aqueous phases are taken like any other. The caller ensures every site fraction is positive.
ActivitiesSd calcactivitysd(const ptype1& ph, const eqvector& x, real p, real t,
                            controlboolean justrelu);

// Pressure (kbar) and temperature (K) at which the activities of a run were evaluated.
struct AxPT {
    real p = 0;
    real t = 0;
};

// The activities of the run's chosen end-members at the P-T for a-x, as the end-member choice of
// rock calculations and reaction diagrams takes them.
// Needs: the chosen phases in `prec1`/`prec0` (`makename` and `lsqds` done), the phases' current
// variable values (`guess`), the script's "ptforaxe" and "justrelu" settings.
// When there are solution phases it writes to screen and log the line "activities of end-members
// in solid solutions are calculated with", then "input values of compositional variables" and
// either " at PT: ..." from the script or the questions "P for a-x in kbar" and "T for a-x in
// °C"; then per solution phase a heading line (name, order variables, excluded end-members) and
// one line per end-member that is not excluded with a and sd(a); an activity above 1 is reset to
// 0.999 and the line ends " ## reset, was " and the old value; 0 or below stops the run.
// Appends, from index 1, the activities and sds of the solution end-members that are not
// excluded, then the fixed activity and sd of each pure phase, to `dataset.emact`/`emsda`.
// Returns the P-T used (the caller keeps it as the current P and T); 0, 0 without solution
// phases. In the utilities the caller does not call this.
AxPT extractem_activities(Session& ses, Run& run);

}  // namespace qv
