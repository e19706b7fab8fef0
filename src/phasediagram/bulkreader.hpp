#pragma once
// Reading the bulk composition of a pseudosection run from the script: an oxide bulk ("bulk",
// one or two compositions and the increments between them, "onebulk", "bulksubrange") or a rock
// given by its phases ("rbi"), with the checks, the bulk table and the log-ratio denominator.

#include "phasediagram/bulk.hpp"
#include "phasediagram/calcwhat.hpp"
#include "phasediagram/results.hpp"

namespace qv {

// How the rock of a run is given beyond the script's "bulk" and "rbi" blocks: by the modes of
// its minerals ("mode" form) and whether the run is a duDA+ run (with x(CO2)).
struct BulkSources {
    bool rmi = false;
    bool duda = false;
    bool dudaxco2 = false;
};

// The bulk of the run into `pd.bulk` (and `pd.nbulk`), with its table on the screen, summary
// and log. Stops the run (procedure "readcomps"): "stopping now" (no bulk in the script),
// "wrong number of components (oxides) in bulk", "mismatch of components (oxides) in bulk",
// "nuvleft mismatch", "comp sum not positive", "zeroes not allowed in a bulk (1)" / "(2)",
// "negative amounts not allowed in a bulk (1)" / "(2)", "entered bulk composition range is not
// 0<->1"; and the stops of `rbichecks` and `findkbpden`.
void readcomps(Session& ses, Run& run, PdRun& pd, const BulkSources& src = {});

// The denominator of the log-ratio bulk: the first bulk component after H2O and CO2.
// Stops the run: name + " not found" (procedure "find kbpden").
void findkbpden(const Run& run, BulkState& bulk);

// Matches the rbi rows with the phases of the run: in a duDA+ or "mode" run every mineral and
// pure phase needs a row, the rows then follow the phase order; otherwise the minerals play no
// part. Stops the run (procedure "rbichecks") with the messages of each check.
void rbichecks(Run& run, BulkState& bulk, const BulkSources& src);

// The reduced system of the enumeration: the bulk components and the two ends of the bulk line
// (percent).
ReducedSystem reducedsystem(const BulkState& bulk);

// The name of a bulk component as the tables show it: "FeO" is "FeOt" when "O" is a bulk
// component.
std::string bulkcompname(const Run& run, const BulkState& bulk, int c);

}  // namespace qv
