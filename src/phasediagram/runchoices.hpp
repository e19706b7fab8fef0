#pragma once
// The choices of a phase diagram run before its equilibria: phases and fluid type, phases in
// excess, starting-guess report, variance and its word, effective variance, P-T windows and
// activity uncertainties of the pure phases.

#include <string>

#include "model/run.hpp"
#include "textio/session.hpp"

namespace qv {

// Chooses the phases of the run from the "with" list (or by question with "someof"), compacts
// the phase tables and sets the fluid type.
void whichphases(Session& ses, Run& run);
// The phases held in excess, from the script or by question.
void readinexcess(Session& ses, Run& run);
// Which solution phases have script starting guesses.
void listguesses(Session& ses, Run& run);
// Advice to paste script-form starting guesses when only the a-x file's guesses were used.
void guessadvice(Session& ses, Run& run);
// Phase-rule variance of the chosen phases: rank of the composition matrix + 2 - phases - mu's.
int16 calcvariance(Run& run);
// "invariant", "univariant", ... or v followed by "-variant".
std::string writevariance(int16 v);
// The effective variance after the isopleths. A pseudosection of divariant phases without an
// isopleth, or of an x(CO2) section below divariant, is none: `pseudoon` is cleared, and when it
// was set the console says so and why ("not a pseudosection (<why>): the bulk is not used").
void varcalc(Session& ses, Run& run, int16 maxvariance, bool xco2varon, bool& pseudoon,
             int16 nisopleths, int16 nmodeisopleths, int16 nxyzisopleths);
// The P-T windows by variance, starting P and T and the lists of P and T values.
void setptwindows(Session& ses, Run& run);
// Activities and their uncertainties: unit for solution end-members, fixed for pure phases.
void setactivityuncertainty(Session& ses, Run& run);

}  // namespace qv
