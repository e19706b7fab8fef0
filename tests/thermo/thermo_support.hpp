#pragma once
// Shared fixtures of the thermodynamic tests: the real dataset read by the dataset reader, and
// synthetic data rows.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "model/dataset.hpp"
#include "model/run.hpp"
#include "support/fakes.hpp"
#include "thermo/gem.hpp"

namespace qv::test {

// Every end-member of qv-ds62.txt, read by `readthermo` into rows 1..nem of `td`.
struct Ds62 {
    TestSession ts;
    Run run;
    Ds62() {
        TempDir dir;
        std::filesystem::copy_file(std::filesystem::path(QV_TEST_DATA) / "qv-ds62.txt",
                                   dir.path() / "qv-ds62.txt");
        ts.ses.prefs.dsfilesuffix = "62";
        initglobals(ts.ses, run);
        Dataset& ds = run.dataset;
        readthermo(ts.ses, run, 1);
        for (int16 i = 1; i <= ds.ndsem; ++i) ds.emnames[i] = ds.dsnames[i];
        ds.nem = ds.ndsem;
        ds.nrxem = ds.ndsem;
        readthermo(ts.ses, run, 2);
        readthermo(ts.ses, run, 3);
        gs.dsmode = ds.dsmode;
        gs.ds190 = ds.ds190;
        gs.newspfluid = ds.newspfluid;
    }
    tdvector& row(int16 k) { return (*run.arrays.td)[k]; }
    const std::string& name(int16 k) { return run.dataset.emnames[k]; }
    int16 nem() const { return run.dataset.nem; }
    int16 find(const std::string& n) {
        for (int16 k = 1; k <= nem(); ++k) {
            if (name(k) == n) return k;
        }
        return 0;
    }
    real g(int16 k, real p, real t) { return gem(ts.ses, gs, row(k), name(k), p, t); }
    GemSettings gs;
};

// A test suite that reads the dataset once for all its tests.
class Ds62Suite : public ::testing::Test {
protected:
    static void SetUpTestSuite() { d = new Ds62(); }
    static void TearDownTestSuite() {
        delete d;
        d = nullptr;
    }
    static inline Ds62* d = nullptr;
};

// A data row from its leading values (1-based order H, S, V, a, b, c, d, a0, K0, K0', K0'',
// theta, ...) with the defaults the dataset reader gives the order-disorder values.
inline tdvector makerow(std::initializer_list<real> values, int16 code = 0) {
    tdvector r;
    int i = 1;
    for (real v : values) r[i++] = v;
    r[15] = -1;
    r[16] = -1;
    r[25] = 1;
    r[31] = code;
    return r;
}

}  // namespace qv::test
