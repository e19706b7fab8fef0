#include "model/phases.hpp"

#include "base/fatal.hpp"
#include "model/run.hpp"

namespace qv {

namespace {

void unsetsolution(ptype1& ph) {
    ph.name = "unset";
    ph.nem = 0;
}

void unsetpure(ptype0& ph) {
    ph.name = "unset";
    ph.emname.clear();
    ph.activity = 1;
    ph.activitysd = 0;
    ph.nmake = 0;
}

}  // namespace

// The records made so far are reset, and every record made later starts reset.
void resetphaserecords(Run& run, bool calibration) {
    prectype1& ss = *run.arrays.prec1;
    for (int k = 1; k <= ss.size(); ++k) unsetsolution(ss[k]);
    ss.setpreparer(&unsetsolution);
    // The pure-phase records of a calibration outlive its a-x readings.
    if (calibration) return;
    prectype0& pure = *run.arrays.prec0;
    for (int k = 1; k <= pure.size(); ++k) unsetpure(pure[k]);
    pure.setpreparer(&unsetpure);
}

void startpurephase(ptype0& ph, const std::string& name) {
    ph.name = name;
    ph.name2 = name;
    ph.emname = name;
    ph.flag2 = false;
    ph.dqfkind = -1;
    ph.dqfa = 0;
    ph.dqfb = 0;
    ph.dqfc = 0;
    ph.activity = 1;
    ph.activitysd = 0;
    ph.nmake = 0;
}

void startsolutionphase(ptype1& ph, const std::string& nameasread) {
    ph.nverb = 0;
    ph.nalso = 0;
    ph.longname = nameasread;
    ph.suffix.clear();
    long2shortpname(ph.longname, ph.name, ph.suffix);
    ph.fullname = ph.name;
    ph.basename.clear();
    ph.baselong.clear();
    ph.coding = 0;
}

void long2shortpname(std::string& longname, std::string& shortname, std::string& suffix) {
    // Neither end of the name may be a separator, whichever "_" it is.
    if (!longname.empty() && (longname.front() == '_' || longname.back() == '_')) {
        bomb("long2shortpname", "separator char in pname in wrong place in " + longname, yourfault);
    }
    const std::size_t sep = longname.find('_');
    if (sep == std::string::npos) {
        shortname = longname;
        if (!suffix.empty()) longname = shortname + "_" + suffix;
        return;
    }
    shortname = longname.substr(0, sep);
    const std::string own = longname.substr(sep + 1);
    if (suffix.empty()) {
        suffix = own;
    } else if (suffix != own) {
        longname = shortname + "_" + suffix;
    }
}

}  // namespace qv
