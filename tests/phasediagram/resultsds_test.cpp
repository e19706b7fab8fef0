// Uncertainties of the results of a phase diagram run: the sd of P on an isopleth of the ideal
// garnet-plagioclase-kyanite-quartz equilibrium against the propagation of the dataset's
// enthalpy covariance through dP = -dH_r / V_r written in the test.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "phasediagram/pdfixture.hpp"
#include "thermo/thermo_support.hpp"

namespace qv::test {
namespace {

const char* const script = R"(axfile axgasp
with g pl ky q
diagramPT 2 16 500 900
pseudosection no
inexcess yes
calcTatP no
calcT 700 700 100
isopleth z(g) 0.2 ca(pl) 0.5
autoexit
*
)";

TEST(ResultSds, PressureSdIsTheEnthalpyCovarianceOverTheReactionVolume) {
    PdCase c(script);
    c.pd->calcsdlevel = 1;
    real sdp = -1;
    real expected = -2;
    c.pd->onresult = [&](const SolveState& st) {
        sdp = st.sdv.sd[1];
        // With the compositions held, only the reaction's enthalpy moves P.
        const qv::Run& run = c.run;
        const Dataset& ds = run.dataset;
        const rmatrix& r = *run.arrays.r;
        const emmatrix& cov = *run.arrays.cov;
        ASSERT_EQ(run.nreac, 1);
        real varh = 0;
        for (int i = 1; i <= ds.nem; ++i) {
            for (int j = 1; j <= ds.nem; ++j) varh += r[1][i] * r[1][j] * cov[i][j];
        }
        static Ds62 d;
        auto dg = [&](real p) {
            real g = 0;
            for (int i = 1; i <= ds.nem; ++i) {
                if (r[1][i] != 0) g += r[1][i] * d.g(d.find(ds.emnames[i]), p, st.cur.t);
            }
            return g;
        };
        const real dv = (dg(st.cur.p + 1e-3L) - dg(st.cur.p - 1e-3L)) / 2e-3L;
        expected = std::sqrt(varh) / std::fabs(dv);
    };
    c.go();
    ASSERT_GT(expected, 0) << c.screen();
    EXPECT_REL_NEAR(sdp, expected, 1e-4L);
}

}  // namespace
}  // namespace qv::test
