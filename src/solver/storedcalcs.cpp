#include "solver/storedcalcs.hpp"

#include <cmath>

#include "base/fatal.hpp"
#include "textio/channels.hpp"

namespace qv {
namespace {

// Solver variable named `name` among 1..nxvars, 0 when there is none.
int16 findxname(const NleVariables& v, const std::string& name) {
    for (int16 k = 1; k <= v.nxvars; ++k) {
        if (v.xname[k] == name) return k;
    }
    return 0;
}

}  // namespace

void accumulate(Session& ses, const NleVariables& v, const Uncertainties& u,
                const std::vector<std::vector<std::string>>& mineralxyz, StoredCalcs& sc) {
    ++sc.nqv;
    if (sc.nqv > maxqvcalcs) {
        std::string line = "\n\nmade it to T = ";
        addreal(1, true, 6, line, v.natural(2) - 273.15L);
        line += "\xA1";
        line += "C and P = ";
        addreal(2, true, 6, line, v.natural(1));
        line += " kbar, with ";
        addstr(std::to_string(sc.nqv - 1), 3, line);
        line += "calcs\n";
        ses.console.write(line);
        bomb("calcsd", "too many calcs", yourfault);
    }
    if (sc.nqv == 1) {
        int16 n = 0;
        for (const auto& names : mineralxyz) {
            for (const std::string& name : names) {
                if (++n > maxxyz) bomb("accumulate", "too many xyznames", yourfault);
                sc.calcxyznames[n] = name;
            }
        }
        for (int i = 1; i <= n; ++i) {
            if (findxname(v, sc.calcxyznames[i]) == 0) {
                ses.console.write(sc.calcxyznames[i] + " not found\n");
                bomb("accumulate", "xyz does not match 1", yourfault);
            }
        }
        sc.ncalcxyz = n;
        ses.console.write("progress - equilibria calcs: ");
    }
    Fixed1<int16, maxxyz> var{};
    for (int i = 1; i <= sc.ncalcxyz; ++i) {
        var[i] = findxname(v, sc.calcxyznames[i]);
        if (var[i] == 0) bomb("accumulate", "xyz does not match 2", yourfault);
    }
    auto corr = [&](int i, int j) -> real {
        if (std::fabs(u.sdx[i]) < 1e-10L || std::fabs(u.sdx[j]) < 1e-10L) return 0;
        return u.covx[i][j] / (u.sdx[i] * u.sdx[j]);
    };
    const int16 fluid = findxname(v, "x(fluid)");
    qvcalctype& rec = (*sc.qvcalcs)[sc.nqv];
    rec.p = v.natural(1);
    rec.t = v.natural(2) - 273.15L;
    rec.xfluid = fluid > 0 ? v.natural(fluid) : 0;
    int16 q = 0;
    for (int i = 1; i <= sc.ncalcxyz; ++i) {
        rec.xyz[i] = v.natural(var[i]);
        rec.sdxyz[i] = u.sdx[var[i]];
        for (int j = 1; j < i; ++j) rec.corr[++q] = corr(var[i], var[j]);
    }
    sc.ncalccorr = q;
}

void aftercalcsd(Session& ses, const NleVariables& v, const Uncertainties& u,
                 const SdFollowUps& next) {
    if (!u.valid) return;
    if (next.stored != nullptr && next.mineralxyz != nullptr) {
        accumulate(ses, v, u, *next.mineralxyz, *next.stored);
    }
    if (next.calcsdlevel > 1 && next.info != nullptr) printsdinfo(ses, *next.info, u);
}

}  // namespace qv
