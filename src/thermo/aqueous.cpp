#include "thermo/aqueous.hpp"

#include <cmath>
#include <string>

#include "base/fatal.hpp"
#include "textio/channels.hpp"
#include "textio/session.hpp"
#include "thermo/fluids.hpp"

namespace qv {

real dhsolvent(Session& ses, bool newspfluid, real p, real t, real xco2, real xh2o) {
    if (xco2 > 0) {
        constexpr real dp = 0.0001L;
        const real vc = spfluid2(ses, newspfluid, p, t).v;
        const real vw = spfluid(ses, newspfluid, p, t).v;
        const real vc1 = spfluid2(ses, newspfluid, p + dp, t).v;
        const real vw1 = spfluid(ses, newspfluid, p + dp, t).v;
        const real vm = xco2 * vc + xh2o * vw;
        const real vm1 = xco2 * vc1 + xh2o * vw1;
        if (vm == 0 || vm1 == 0) bomb("dhsolvent", "solvent volume = 0", myfault);
        return vm + 21 * xco2 * xh2o * (1 / vm1 - 1 / vm) / dp;
    }
    return spfluid(ses, newspfluid, p, t).v;
}

real epsh2o(real p, real t, real xco2, real xh2o, real v) {
    const real rho = (1.8015L * xh2o + 4.401L * xco2) / v;
    const real tm = t - 215;
    return 1 + rho * (std::exp(263307.7L / (t * t) - 1246.311L / t - 69.28953L * p / t -
                               20444.73L * p / (t * t)) -
                      4.044525L * p / t + 103.618L / std::sqrt(t) + 75.32165L / tm -
                      23.23778L / std::sqrt(tm) - 3.548184L / std::sqrt(std::sqrt(tm)));
}

real calcdhab(real p, real t, real xco2, real xh2o, real v) {
    const real g = epsh2o(p, t, xco2, xh2o, v);
    const real k = 1 + (22.7024L / v) * (xh2o * (0.147L + 835.25L * g / t) + 0.265L * xco2);
    return (k + std::sqrt(k * k + 8)) / 4;
}

real calcdh(Session& ses, bool newspfluid, int debuglev, real p, real t, real xco2, real xh2o,
            real ionic, real zfac) {
    // A solvent given with no H2O and no CO2 is taken as pure water.
    const real sum = xh2o + xco2;
    const real xc = sum == 0 ? 0 : xco2 / sum;
    const real xw = sum == 0 ? 1 : xh2o / sum;
    const real v = dhsolvent(ses, newspfluid, p, t, xc, xw);
    if (!(v > 0)) bomb("calcdh", "solvent volume <= 0", myfault);
    const real e = calcdhab(p, t, xc, xw, v);
    const real s = 1 / std::sqrt(1e-5L * v * e * t);
    const real a = 57674.4L * s / (t * e);
    const real b = 1.59021e10L * s;
    const real si = std::sqrt(ionic);
    const real result = -a * zfac * si / (1 + 4.5e-10L * b * si);
    if (debuglev == 5) {
        std::string& line = ses.ch.linebuffers[0];
        line.clear();
        addstr("xco2 = ", 0, line);
        addreal(4, true, 0, line, xc);
        addstr(", xh2o = ", 0, line);
        addreal(4, true, 0, line, xw);
        addstr(", I = ", 0, line);
        addreal(5, false, 0, line, ionic);
        addstr(", A = ", 0, line);
        addreal(8, true, 0, line, a);
        addstr(", B x 10^-10 = ", 0, line);
        addreal(8, true, 0, line, b * 1e-10L);
        addstr(", DH(solute) = ", 0, line);
        addreal(5, false, 0, line, result);
        putstr(ses, 0, line, 1, screensummarylogmask);
    }
    return result;
}

real gaqueous(Session& ses, const GemSettings& gs, const tdvector& row, std::string_view name,
              real p, real t) {
    if (row[17] == 0) return 0;
    const real tp = t <= 500 ? t : 500;
    const real v1 = spfluid(ses, gs.newspfluid, p, t).v;
    if (!(v1 > 0)) bad_row(name, "zero water volume in the aqueous term");
    real g = row[17] * (-27.091L + 0.09086L * t + 350.42L * (t / tp) * std::log(1.81799456L / v1) -
                        15.8L * p);
    if (!gs.calibration) {
        g += 0.03354L * t;
        if (row[18] != 0 && row[26] > 0) {
            // The charges are stored with their signs; the law takes |z1 z2|, so that the
            // activity coefficient of an electrolyte falls below 1.
            g += 0.019144612724L * t *
                 calcdh(ses, gs.newspfluid, gs.debuglev, p, t, row[27], row[28], row[26],
                        std::fabs(row[19] * row[18]));
        }
    }
    return g;
}

}  // namespace qv
