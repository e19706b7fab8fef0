#include "calibration/dsprefs.hpp"

#include "calibration/calibfiles.hpp"
#include "textio/files.hpp"
#include "textio/prefs.hpp"

namespace qv {

void readdsprefsfile(InFile& f, CalibPrefs& prefs) {
    prefs = CalibPrefs{};
    CalibReader rd(f, "readdsprefs");
    strings words;
    int16 n = 0;
    while (rd.line(words, n)) {
        if (words[1][0] == '*') break;
        const std::string keyword = str22(words[1]);
        controlboolean cb = controlboolean::yes;
        int16 used = 1;
        yesnoask(words, n, cb, used);
        const bool on = cb == controlboolean::yes;
        std::string* suffix = keyword == "qvdssuffix" ? &prefs.qvdssuffix
                              : keyword == "xpsuffix" ? &prefs.xpsuffix
                              : keyword == "emsuffix" ? &prefs.emsuffix
                              : keyword == "axsuffix" ? &prefs.axsuffix
                                                      : nullptr;
        if (suffix != nullptr) {
            if (on) {
                if (n == 1) {
                    suffix->clear();
                } else if (words[2] == "yes") {
                    *suffix = n >= 3 ? words[3] : std::string();
                } else {
                    *suffix = words[2];
                }
            }
        } else if (keyword == "infolevel") {
            int16 level = 0;
            std::string msg;
            if (n >= 2 && whatis(words[2]) == valuetype::aninteger &&
                str2int(words[2], level, msg)) {
                prefs.infolevel = level;
            }
            if (prefs.infolevel > 3) prefs.infolevel = 3;
        } else if (keyword == "useqr") {
            prefs.useqr = cb;
        } else if (keyword == "mark456") {
            prefs.mark456 = cb;
        } else if (keyword == "moreinputlines" || keyword == "printomit") {
            prefs.printomit = cb;
        } else if (keyword == "userfac") {
            prefs.userfac = cb;
        } else if (keyword == "tighten") {
            prefs.tighten = cb;
        }
    }
}

void readdsprefs(Session& ses, CalibPrefs& prefs) {
    InFile f;
    std::string filename;
    std::string suffix = "prefs";
    promptdatafile(ses, filename, "ds-", suffix, "prefs info", f);
    readdsprefsfile(f, prefs);
    f.close();
}

}  // namespace qv
