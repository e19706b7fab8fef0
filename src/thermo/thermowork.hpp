#pragma once
// The working tables of the thermodynamic calculations, held by the session and reached through
// it (or handed down from a caller that has it): the scratch blocks of `calca` and `calcgphase`,
// which a call fills before it reads them, and the tables of terms that depend on the arguments
// alone (heat-capacity terms by temperature, Tait terms by data row, Sterner-Pitzer coefficients
// by temperature, the logarithms of the order-fraction halvings), each value the one the call
// would form, to the bit. Each table is made on its first use by the file that owns its layout.

#include <memory>
#include <string_view>

#include "base/fatal.hpp"
#include "textio/session.hpp"

namespace qv {

struct CalcaScratch;        // activities.cpp
struct PhasePropsScratch;   // phaseprops.cpp
struct TaitRows;            // volume.cpp
struct HeatCapacityKept;    // heatcapacity.cpp
struct SpCoefficientsKept;  // fluids.cpp
struct OrderingKept;        // ordering.cpp

// The tables are held through shared_ptr for its deleter alone: each type is complete only in
// the file that owns it. Copying a ThermoWork is not meant.
struct ThermoWork {
    ThermoWork() = default;
    ThermoWork(const ThermoWork&) = delete;
    ThermoWork& operator=(const ThermoWork&) = delete;

    std::shared_ptr<CalcaScratch> calca;
    bool calcainuse = false;  // a call of `calca` is under way
    std::shared_ptr<PhasePropsScratch> phaseprops;
    bool phasepropsinuse = false;  // a call of `calcgphase` is under way
    std::shared_ptr<TaitRows> tait;
    std::shared_ptr<HeatCapacityKept> heatcapacity;
    std::shared_ptr<SpCoefficientsKept> spcoefficients;
    std::shared_ptr<OrderingKept> ordering;
};

// The session's working tables, made on first use.
inline ThermoWork& thermowork(Session& ses) {
    if (!ses.thermowork) ses.thermowork = std::make_shared<ThermoWork>();
    return *ses.thermowork;
}

// A scratch block held for the extent of one call: a second hold while the first lasts (a call
// nested in another, which would overwrite the block under it) stops the run.
class ScratchHold {
public:
    ScratchHold(bool& inuse, std::string_view procname) : inuse_(inuse) {
        if (inuse_) bomb(procname, "working tables in use by an unfinished call", myfault);
        inuse_ = true;
    }
    ~ScratchHold() { inuse_ = false; }
    ScratchHold(const ScratchHold&) = delete;
    ScratchHold& operator=(const ScratchHold&) = delete;

private:
    bool& inuse_;
};

}  // namespace qv
