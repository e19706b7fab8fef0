#include "model/run.hpp"
#include "numerics/random.hpp"
#include "textio/heap.hpp"

namespace qv {
namespace {

// The size the heap report gives for a table: a growing table counts at its full capacity, so
// the report reads the same whatever the run fills.
template <class T>
constexpr std::size_t reportedbytes(const T*) {
    return sizeof(T);
}
template <class T, int N>
constexpr std::size_t reportedbytes(const Grow1<T, N>*) {
    return Grow1<T, N>::capacitybytes();
}

// A phase record at full capacity: its expressions (each end-member's proportion, each site
// fraction, each variable's numerator and denominator) hold their terms outside the record,
// made as read, so the report adds the room of all `maxsxterms` terms of each expression
// beside its count.
constexpr std::size_t fulltermbytes =
    alignof(sxtermtype) + static_cast<std::size_t>(maxsxterms) * sizeof(sxtermtype);
constexpr std::size_t phaseexpressions = maxssem + maxsf + 2 * maxssvars;
constexpr std::size_t reportedbytes(const prectype1*) {
    return (sizeof(ptype1) + phaseexpressions * (fulltermbytes - sizeof(termtype))) *
           static_cast<std::size_t>(prectype1::capacity());
}

template <class T>
void allocate(Session& ses, std::unique_ptr<T>& p, const char* name) {
    p = std::make_unique<T>();
    allocspace(ses, name, static_cast<int32>(reportedbytes(p.get())));
}

template <class T>
void release(Session& ses, std::unique_ptr<T>& p, const char* name) {
    if (!p) return;
    p.reset();
    disposespace(ses, name, static_cast<int32>(reportedbytes(static_cast<const T*>(nullptr))));
}

}  // namespace

void initglobals(Session& ses, Run& run) {
    GlobalArrays& a = run.arrays;
    allocate(ses, a.c, "c");
    allocate(ses, a.cov, "cov");
    allocate(ses, a.r, "r");
    allocate(ses, a.prec0, "prec0");
    allocate(ses, a.prec1, "prec1");
    allocate(ses, a.td, "td");
    allocate(ses, a.compdx, "compdx");

    run.nphread = 0;
    run.npure = 0;
    run.nss = 0;
    ses.gemcount = 0;
    run.xco2cur = 0;
    run.xh2ocur = 0;
    run.windows.scaling.pminimum = 0.0009L;
    setptscaling(run.windows.scaling);
    fillcomponenttable(run.comps);
    run.nreac = 0;
    run.nxvars = 0;
    run.nmodevars = 0;
    run.compkept.fill(true);
    run.windows.pformat = 3;
    run.windows.tformat = 2;
    run.windows.xformat = 2;
    run.windows.lnaformat = 2;
    run.windows.muformat = 1;
    run.variance = 1;
    seedwhrandom(ses.seeds, false, ses.clock.now());
    run.dashmark.assign(1, '-');
}

void freeglobals(Session& ses, Run& run) {
    GlobalArrays& a = run.arrays;
    release(ses, a.cov, "cov");
    release(ses, a.c, "c");
    release(ses, a.r, "r");
    release(ses, a.prec0, "prec0");
    release(ses, a.prec1, "prec1");
    release(ses, a.td, "td");
    release(ses, a.compdx, "dcompdx");
}

}  // namespace qv
