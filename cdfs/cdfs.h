#pragma once
// The distribution library: machine constants, elementary special functions,
// the incomplete gamma ratio, the chi-square and normal distributions, the
// reverse-communication search and the chi-square inverse.
//
// One source unit per routine. Inputs are taken by value, results are returned
// or written to reference arguments; no routine keeps state between calls
// except the two searches, whose state lives in an object the caller holds.

namespace cdfs {

// ---- Machine constants -----------------------------------------------------

// Integer machine constants, i = 1..10 (base, digits, exponent ranges).
int ipmpar(int i);

// i <= 1: relative spacing 2^-52; i = 2: smallest normal 2^-1022;
// i >= 3: largest finite double.
double spmpar(int i);

// l = 0: largest w with exp(w) finite; l != 0: most negative w with exp(w)
// nonzero; both 0.99999 of the true limits.
double exparg(int l);

// ---- Elementary special functions ------------------------------------------

double rlog(double x);          // x - 1 - ln x, x > 0
double rexp(double x);          // exp(x) - 1, accurate near 0
double erf(double x);           // error function
double erfc1(int ind, double x); // erfc(x) for ind = 0, exp(x*x) erfc(x) otherwise
double gamma(double a);         // Gamma(a); 0 where it cannot be computed
double gam1(double a);          // 1/Gamma(a + 1) - 1 for -0.5 <= a <= 1.5
double dln1px(double a);        // ln(1 + a), accurate near 0, a > -1

// a[0] + a[1] x + ... + a[n-1] x^(n-1) by Horner's rule (ascending powers).
double devlpl(const double a[], int n, double x);

// ---- Incomplete gamma ratio and chi-square distribution --------------------

// ans = P(a, x), qans = Q(a, x) = 1 - P(a, x) for a >= 0, x >= 0. ind selects
// the accuracy: 0 about 14 significant digits, 1 about 6, otherwise about 3.
// Invalid input (a < 0, x < 0, a = x = 0, a = x = infinity, either one NaN)
// and the numerically indeterminate cases set ans = 2 and leave qans
// unchanged.
void gratio(double a, double x, double& ans, double& qans, int ind);

// P(a, x) with the 6-digit selector; 0 for x <= 0; 2 on error. Note the order:
// argument x first, shape a second.
double cumgam(double x, double a);

// Chi-square distribution function with df degrees of freedom; 2 on error.
double cumchi(double x, double df);

// ---- Normal distribution ---------------------------------------------------

double dumnor(double x); // Phi(x), exactly 0 for x <= -38 and 1 for x > 6
double cumnor(double x); // Phi(x)
double dlanor(double x); // ln Phi(-|x|) by the asymptotic series, for |x| >= 5

// ---- Reverse-communication zero finder and bracketing search ---------------
//
// The caller evaluates f itself: start with status = 0, call, and while the
// routine returns status 1 set fx = f(x) and call again with the same state.
// It ends with status 0 (x holds the answer) or -1 (no sign change: qleft
// tells the end, true for the lower one; qhi tells the sign of f there, true
// for f > 0). One search per state object; a call with status <= 0 starts a
// new search.

// State of one zero finding in a bracket; set up by zrorset.
struct ZrorState {
    enum class Stage { start, lower, upper, iterate };

    double xxlo = 0.0, xxhi = 0.0, abstol = 0.0, reltol = 0.0;
    double xlo = 0.0, xhi = 0.0;
    double a = 0.0, b = 0.0, c = 0.0, d = 0.0;
    double fa = 0.0, fb = 0.0, fc = 0.0, fd = 0.0;
    double w = 0.0, mb = 0.0;
    bool first = true;
    int ext = 0;
    int steps = 0;
    Stage stage = Stage::start;
};

void zrorset(ZrorState& s, double xlo, double xhi, double abstol, double reltol);

// On return with status 0, [xlo, xhi] encloses the zero and xlo is the best
// approximation.
void zror(ZrorState& s, int& status, double& x, double fx, double& xlo, double& xhi,
          bool& qleft, bool& qhi);

// State of one bracketing search in [small, big]; it holds the zero finder
// that it hands the bracket to. Set up by invrset.
struct InvrState {
    enum class Stage { start, atSmall, atBig, atStart, stepUp, stepDown, zeroFinding };

    double small = 0.0, big = 0.0, absstp = 0.0, relstp = 0.0, stpmul = 0.0;
    double abstol = 0.0, reltol = 0.0;
    double xsave = 0.0, fsmall = 0.0, fbig = 0.0, step = 0.0;
    double xlb = 0.0, xub = 0.0, xlo = 0.0, xhi = 0.0;
    bool qincr = false;
    int steps = 0;
    Stage stage = Stage::start;
    ZrorState zero;
};

// small and big bound the search; the first step is max(absstp, relstp |x0|)
// and grows by the factor stpmul; abstol and reltol go to the zero finder.
void invrset(InvrState& s, double small, double big, double absstp, double relstp,
             double stpmul, double abstol, double reltol);

void invr(InvrState& s, int& status, double& x, double fx, bool& qleft, bool& qhi);

// ---- Chi-square: cumulative and inverses -----------------------------------

// Solves p = P(chi-square(df) <= x) for p (which = 1), x (which = 2) or df
// (which = 3); tol is the zero finder's absolute and relative tolerance.
// status 0: done; -1 which outside 1..3; -2 p outside [0, 0.999999999999999];
// -3 x < 0; -4 df <= 0; 1 or 2: the answer lies below or above the search
// range; 10: the cumulative routine failed. bound tells the violated limit.
void cdfchi(int which, double& p, double& x, double& df, int& status, double& bound,
            double tol);

} // namespace cdfs
