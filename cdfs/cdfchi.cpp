// cdfchi: the chi-square distribution solved for whichever of p, x and df is
// sought, by the bracketing search over the cumulative routine.
#include "cdfs/cdfs.h"

#include "diag/sink.h"

namespace cdfs {

namespace {

constexpr double pMax = 0.999999999999999;
constexpr double searchBig = 1.0e30;

// Drives one search for the zero of P(chi-square <= x) - p over v, which
// stands for x (with df fixed at other) or, when dfSought, for df (with x
// fixed at other); v starts at its given value, in [small, searchBig]. The
// search's own step bounds end the loop.
void search(bool dfSought, double other, double p, double& v, double small, int& status,
            double& bound, double tol)
{
    InvrState state;
    invrset(state, small, searchBig, 0.5, 0.5, 5.0, tol, tol);
    double fx = 0.0;
    bool qleft = false;
    bool qhi = false;
    status = 0;
    invr(state, status, v, fx, qleft, qhi);
    while (status == 1) {
        fx = (dfSought ? cumchi(other, v) : cumchi(v, other)) - p;
        if (fx + p > 1.5) {
            status = 10;
            return;
        }
        invr(state, status, v, fx, qleft, qhi);
    }
    if (status == -1) {
        status = qleft ? 1 : 2;
        bound = qleft ? small : searchBig;
    }
}

} // namespace

void cdfchi(int which, double& p, double& x, double& df, int& status, double& bound, double tol)
{
    if (which < 1 || which > 3) {
        status = -1;
        bound = which < 1 ? 1.0 : 3.0;
        return;
    }
    if (which != 1 && (p < 0.0 || p > pMax)) {
        status = -2;
        bound = p < 0.0 ? 0.0 : pMax;
        return;
    }
    if (which != 2 && x < 0.0) {
        status = -3;
        bound = 0.0;
        return;
    }
    if (which != 3 && df <= 0.0) {
        status = -4;
        bound = 0.0;
        return;
    }

    if (which == 1) {
        diag::line({"Calculating p..."});
        diag::line({"x,df are ", x, df});
        status = 0;
        p = cumchi(x, df);
        if (p > 1.5) status = 10;
    } else if (which == 2) {
        x = df;
        search(false, df, p, x, 0.0, status, bound, tol);
    } else {
        df = 5.0;
        search(true, x, p, df, 1.0e-30, status, bound, tol);
    }
}

} // namespace cdfs
