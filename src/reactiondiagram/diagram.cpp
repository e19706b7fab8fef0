#include "reactiondiagram/diagram.hpp"

#include "base/fatal.hpp"
#include "solver/positions.hpp"

namespace qv {

Tolerances setlim(const DiagramState& ds) {
    switch (ds.mode) {
        case diagramtype::ptcalc:
            if (ds.calcvariable == calcvariabletype::calcpressure) return {0.5L, 0.01L};
            if (ds.calcvariable == calcvariabletype::calctemperature) return {0.01L, 0.5L};
            bomb("setlim", "unknown calcvariable", myfault);
        case diagramtype::pxcalc: return {0.001L, 0.01L};
        case diagramtype::txcalc: return {0.001L, 0.5L};
        case diagramtype::plnacalc: return {0.001L, 0.01L};
        case diagramtype::tlnacalc: return {0.001L, 0.5L};
        case diagramtype::pmucalc: return {0.01L, 0.01L};
        case diagramtype::tmucalc: return {0.01L, 0.5L};
    }
    bomb("setlim", "unknown diagrammode", myfault);
}

void setiptx(const DiagramState& ds, const DiagramRun& dr, DiagramPoint& pt, real first,
             real second) {
    pt.p = dr.pcur;
    pt.t = dr.tcur;
    pt.xco2 = dr.xco2cur;
    pt.xh2o = dr.xh2ocur;
    switch (ds.mode) {
        case diagramtype::ptcalc:
            if (ds.calcvariable == calcvariabletype::calcpressure) {
                pt.t = first;
                pt.p = second;
            } else if (ds.calcvariable == calcvariabletype::calctemperature) {
                pt.p = first;
                pt.t = second;
            } else {
                bomb("setiptx", "unknown calcvariable", myfault);
            }
            return;
        case diagramtype::pxcalc:
            pt.p = second;
            pt.xco2 = first;
            pt.xh2o = 1 - first;
            return;
        case diagramtype::txcalc:
            pt.t = second;
            pt.xco2 = first;
            pt.xh2o = 1 - first;
            return;
        case diagramtype::plnacalc:
            pt.p = second;
            pt.lna = first;
            return;
        case diagramtype::tlnacalc:
            pt.t = second;
            pt.lna = first;
            return;
        case diagramtype::pmucalc:
            pt.p = second;
            pt.mu = first;
            return;
        case diagramtype::tmucalc:
            pt.t = second;
            pt.mu = first;
            return;
    }
    bomb("setiptx", "unknown diagrammode", myfault);
}

void enlargewindow(DiagramState& ds, Windows& w, calcvariabletype which) {
    if (which == calcvariabletype::calctemperature) {
        ds.savedtlow = w.twinlow;
        ds.savedthigh = w.twinhigh;
        w.twinlow -= 300;
        if (w.twinlow < tminlimit) w.twinlow = tminlimit;
        w.twinhigh += 400;
        if (w.twinhigh > tmaxlimit) w.twinhigh = tmaxlimit;
    } else if (which == calcvariabletype::calcpressure) {
        ds.savedplow = w.pwinlow;
        ds.savedphigh = w.pwinhigh;
        w.pwinlow -= 5;
        if (w.pwinlow < w.scaling.pminimum) w.pwinlow = w.scaling.pminimum;
        w.pwinhigh += 5;
        if (w.pwinhigh > pmaxlimit) w.pwinhigh = pmaxlimit;
    } else {
        bomb("enlargewindow", "unknown calcvariable", myfault);
    }
}

void restorewindow(const DiagramState& ds, Windows& w, calcvariabletype which) {
    if (which == calcvariabletype::calctemperature) {
        w.twinlow = ds.savedtlow;
        w.twinhigh = ds.savedthigh;
    } else if (which == calcvariabletype::calcpressure) {
        w.pwinlow = ds.savedplow;
        w.pwinhigh = ds.savedphigh;
    } else {
        bomb("restorewindow", "unknown calcvariable", myfault);
    }
}

int16 gridcount(const DiagramState& ds, const DiagramRun& dr, std::string_view procname) {
    switch (ds.mode) {
        case diagramtype::ptcalc:
            if (ds.calcvariable == calcvariabletype::calcpressure) return dr.w.ntvalues;
            if (ds.calcvariable == calcvariabletype::calctemperature) return dr.w.npvalues;
            bomb(procname, "unknown calcvariable", myfault);
        case diagramtype::pxcalc:
        case diagramtype::txcalc: return dr.w.nxvalues;
        case diagramtype::plnacalc:
        case diagramtype::tlnacalc: return dr.w.nlnavalues[diagramlna];
        case diagramtype::pmucalc:
        case diagramtype::tmucalc: return dr.w.nmuvalues[diagramlna];
    }
    bomb(procname, "unknown diagrammode", myfault);
}

real gridvalue(const DiagramState& ds, const DiagramRun& dr, int16 k, std::string_view procname) {
    switch (ds.othervariable) {
        case othervariabletype::fixedpressure: return dr.w.pvalues[k];
        case othervariabletype::fixedtemperature: return dr.w.tvalues[k];
        case othervariabletype::fixedmolefractionCO2: return dr.w.xvalues[k];
        case othervariabletype::fixedlnactivity: return dr.w.lnavalues[diagramlna][k];
        case othervariabletype::fixedchemicalpotential: return dr.w.muvalues[diagramlna][k];
    }
    bomb(procname, "othervariable", myfault);
}

void diagramlnavar(DiagramState& ds, const DiagramRun& dr) {
    setlnavar(/*activitysd=*/true, dr.emact, dr.emsda, dr.nem, ds.lnavar);
}

real lnafactor(const DiagramRun& dr) {
    return dr.script.setlogacb == controlboolean::yes ? rln10 : rgas;
}

void setlnamuterm(const DiagramState& ds, DiagramRun& dr, const DiagramPoint& pt) {
    // The grid value acts as the activity of the ln a end-member: lowering its entropy by
    // R ln a raises its Gibbs energy by RT ln a. A mu end-member takes mu as its enthalpy.
    if (ds.mode == diagramtype::plnacalc || ds.mode == diagramtype::tlnacalc) {
        if (dr.lnaemno > 0) dr.td[dr.lnaemno][2] = dr.lnasref - lnafactor(dr) * pt.lna;
    } else if (ds.mode == diagramtype::pmucalc || ds.mode == diagramtype::tmucalc) {
        if (dr.muemno > 0) dr.td[dr.muemno][1] = pt.mu;
    }
}

DiagramPoint gridpoint(Diagram& d, int16 k) {
    DiagramPoint pt;
    setiptx(d.ds, d.dr, pt, gridvalue(d.ds, d.dr, k, "ptxtable"), 0);
    setlnamuterm(d.ds, d.dr, pt);
    return pt;
}

Roots lineroots(Diagram& d, int16 i, const DiagramPoint& pt) {
    if (d.ds.calcvariable == calcvariabletype::calcpressure) {
        return d.lines.findrxnp(i, false, 0, pt.t, pt.xco2, pt.xh2o);
    }
    if (d.ds.calcvariable == calcvariabletype::calctemperature) {
        return d.lines.findrxnt(i, false, 0, pt.p, pt.xco2, pt.xh2o);
    }
    bomb("ptxtable", "unknown calcvariable", myfault);
}

}  // namespace qv
