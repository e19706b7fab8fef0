#include "reactiondiagram/runlines.hpp"

namespace qv {

namespace {

RootPairSd pairof(const Position& ps) {
    return {ps.x1, ps.x2, ps.sd1, ps.sd2};
}

}  // namespace

ReactionDg RunReactionLines::dgr(int16 i, real p, real t, real u, real v) {
    return dgofreaction(ev_, i, p, t, u, v);
}

Roots RunReactionLines::findrxnp(int16 i, bool usestart, real start, real t, real u, real v) {
    return qv::findrxnp(ev_, i, usestart, start, t, u, v);
}

Roots RunReactionLines::findrxnt(int16 i, bool usestart, real start, real p, real u, real v) {
    return qv::findrxnt(ev_, i, usestart, start, p, u, v);
}

RootPairSd RunReactionLines::calcpsd(int16 i, real t, real u, real v) {
    return pairof(qv::calcpsd(ev_, data_, rl_, i, t, u, v));
}

RootPairSd RunReactionLines::calctsd(int16 i, real p, real u, real v) {
    return pairof(qv::calctsd(ev_, data_, rl_, i, p, u, v));
}

void RunReactionLines::turnreaction(int16 i, const DiagramPoint& pt) {
    qv::turnreaction(ev_, rl_, i, pt.p, pt.t, pt.xco2, pt.xh2o, pt.lna, pt.mu);
}

}  // namespace qv
