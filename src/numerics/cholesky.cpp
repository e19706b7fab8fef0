#include "numerics/cholesky.hpp"

#include <cmath>
#include <memory>
#include <string>

#include "base/fatal.hpp"
#include "textio/numfmt.hpp"

namespace qv {
namespace {

std::string rightjustified(const std::string& s, std::size_t width) {
    return s.size() >= width ? s : std::string(width - s.size(), ' ') + s;
}

// The failing pivot in exponent form, 8 significant digits.
std::string pivottext(real d) {
    if (std::fabs(d) < 1e-12L) return "0";
    const int digits = 8;
    return digits2text(significantmode, digits, real2digits(significantmode, digits, d));
}

}  // namespace

void inverse(Console& con, covmatrix a, covmatrix& l, int16 n) {
    // Row by row (Cholesky-Banachiewicz): row i needs only the rows above it.
    for (int i = 1; i <= n; ++i) {
        for (int j = 1; j <= i - 1; ++j) {
            real s = a[i][j];
            for (int k = 1; k <= j - 1; ++k) s -= l[j][k] * l[i][k];
            l[i][j] = s / l[j][j];
        }
        real d = a[i][i];
        for (int k = 1; k <= i - 1; ++k) d -= l[i][k] * l[i][k];
        if (d <= 0) {
            con.write(rightjustified(std::to_string(i), 3) + rightjustified(pivottext(d), 15) +
                      "\n");
            bomb("inverse", "sqrt negative", yourfault);
        }
        l[i][i] = std::sqrt(d);
        for (int j = i + 1; j <= n; ++j) l[i][j] = 0;
    }
}

void cholinvert(Console& con, covmatrix a, invmatrix& b, int16 n) {
    auto l = std::make_unique<covmatrix>();
    inverse(con, a, *l, n);
    // X = L^-1 by forward substitution, lower triangle only; then A^-1 = X^T X.
    auto x = std::make_unique<covmatrix>();
    for (int i = 1; i <= n; ++i) {
        for (int j = i; j <= n; ++j) {
            real s = j == i ? 1.0L : 0.0L;
            for (int k = i; k <= j - 1; ++k) s -= (*l)[j][k] * (*x)[k][i];
            (*x)[j][i] = s / (*l)[j][j];
        }
    }
    for (int i = 1; i <= n; ++i) {
        for (int j = i; j <= n; ++j) {
            real s = 0;
            for (int k = j; k <= n; ++k) s += (*x)[k][i] * (*x)[k][j];
            b[i][j] = s;
            b[j][i] = s;
        }
    }
}

}  // namespace qv
