// velmar._core, the compiled part of the Python package velmar: the public
// face velmar/velmar.h as functions with keyword arguments, read-only result
// objects and Python exceptions. The package (velmar/__init__.py) re-exports
// everything here under the name velmar.
//
// Numbers are read by one rule: a float, an int or any object with __float__
// or __index__ (NumPy scalars); a string or another type raises TypeError, an
// integer beyond the range of doubles ValueError. A level is read as the
// library reads it (95 is 0.95).
//
// Bad arguments (std::invalid_argument) become ValueError with the library's
// message; a limit that cannot be computed (no root, an integral that failed)
// raises velmar.NumericalError, a subclass of ArithmeticError. A limit that
// was found but is less accurate than usual (beyond double precision, or the
// search ran out of iterations) is returned with its outcome in `outcome`.
// NumPy is needed only when land_h is given arrays. Values may be nondetects
// (below a detection limit, the value): nondetect= flags them.

#include "velmar/velmar.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <climits>
#include <concepts>
#include <type_traits>
#include <cmath>
#include <cstdint>
#include <cstddef>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace py = pybind11;

namespace {

// repr(x), cut short for a message: a 400-digit integer is named by its first
// digits and its length.
std::string short_repr(const py::handle& x)
{
    const std::string r = py::repr(x);
    if (r.size() <= 40) return r;
    return r.substr(0, 24) + "... (" + std::to_string(r.size()) + " characters)";
}

std::string type_name(const py::handle& x)
{
    return py::str(py::type::of(x).attr("__name__"));
}

bool is_text(const py::handle& x)
{
    return PyUnicode_Check(x.ptr()) || PyBytes_Check(x.ptr()) || PyByteArray_Check(x.ptr());
}

// Whether x converts to a double as a number does (float, int, NumPy scalar),
// not by parsing text.
bool is_real(const py::handle& x)
{
    PyObject* o = x.ptr();
    if (PyFloat_Check(o) || PyLong_Check(o)) return true;
    if (is_text(x) || PyComplex_Check(o)) return false;
    const PyNumberMethods* number = Py_TYPE(o)->tp_as_number;
    return number && (number->nb_float || number->nb_index);
}

// The double of a number argument `name` of `function`.
double real(const py::handle& x, const std::string& name, const char* function)
{
    if (PyFloat_Check(x.ptr())) return PyFloat_AS_DOUBLE(x.ptr());
    if (!is_real(x))
        throw py::type_error(std::string(function) + "(): incompatible argument " + name + " = " + short_repr(x) +
                             ": a real number is needed, not " + type_name(x));
    const double v = PyFloat_AsDouble(x.ptr());
    if (v == -1.0 && PyErr_Occurred()) {
        if (!PyErr_ExceptionMatches(PyExc_OverflowError)) throw py::error_already_set();
        PyErr_Clear();
        throw py::value_error(name + " = " + short_repr(x) + ": beyond the range of doubles");
    }
    return v;
}

// A confidence level as the library reads it: a fraction, or a percentage.
double level_of(const py::handle& x, const char* function)
{
    return velmar::confidence_level(real(x, "level", function));
}

std::optional<double> optional_real(const py::handle& x, const std::string& name, const char* function)
{
    if (x.is_none()) return std::nullopt;
    return real(x, name, function);
}

// A whole-number argument in lo .. hi: an int or anything with __index__
// (not a float, not a bool); outside the range a ValueError.
std::uint64_t integer(const py::handle& x, const std::string& name, const char* function, std::uint64_t lo,
                      std::uint64_t hi)
{
    if (PyBool_Check(x.ptr()) || !PyIndex_Check(x.ptr()))
        throw py::type_error(std::string(function) + "(): incompatible argument " + name + " = " + short_repr(x) +
                             ": an integer is needed, not " + type_name(x));
    const py::int_ value = py::reinterpret_steal<py::int_>(PyNumber_Index(x.ptr()));
    if (!value) throw py::error_already_set();
    const bool inside = value >= py::int_(lo) && value <= py::int_(hi);
    if (!inside)
        throw py::value_error(name + " = " + short_repr(x) + ": must lie in " + std::to_string(lo) + " .. " +
                              std::to_string(hi));
    return value.cast<std::uint64_t>();
}

velmar::Side side_of(const std::string& side)
{
    if (const auto s = velmar::parse_side(side)) return *s;
    std::ostringstream message;
    message << "side = '" << side << "': must be ";
    const auto all = velmar::sides();
    for (const velmar::Side s : all.first(all.size() - 1)) message << "'" << velmar::to_string(s) << "', ";
    message << "or '" << velmar::to_string(all.back()) << "'";
    throw py::value_error(message.str());
}

std::string side_name(velmar::Side side)
{
    return std::string(velmar::to_string(side));
}

// Python's own shortest round-trip text of a number, "None" for an absent one.
std::string text(std::optional<double> x)
{
    return x ? std::string(py::str(py::float_(*x))) : std::string("None");
}

// The limits of one request as Python sees them: an absent side is None; the
// outcome is the less favourable of the sides computed.
struct Bounds {
    std::optional<double> lower, upper, C_lower, C_upper;
    std::string outcome = "converged";
    double error_bound = 0.0;
};

int rank(velmar::Outcome outcome)
{
    switch (outcome) {
    case velmar::Outcome::converged: return 0;
    case velmar::Outcome::beyond_precision: return 1;
    case velmar::Outcome::iteration_limit: return 2;
    default: return 3;
    }
}

std::string outcome_name(velmar::Outcome outcome)
{
    return std::string(velmar::to_string(outcome));
}

// what: the request in words, for the message of a failure.
Bounds bounds(const std::optional<velmar::Limit>& lower, const std::optional<velmar::Limit>& upper,
              const std::string& what)
{
    Bounds b;
    int worst = 0;
    for (const auto* limit : {&lower, &upper}) {
        if (!*limit) continue;
        const velmar::Limit& l = **limit;
        const char* name = limit == &lower ? "lower" : "upper";
        if (rank(l.outcome) == 3)
            throw velmar::NumericalError(std::string(name) + " limit " + what + ": " +
                                         std::string(velmar::describe(l.outcome)));
        if (rank(l.outcome) > worst) {
            worst = rank(l.outcome);
            b.outcome = outcome_name(l.outcome);
        }
        if (l.error_bound > b.error_bound) b.error_bound = l.error_bound;
        (limit == &lower ? b.lower : b.upper) = l.value;
        (limit == &lower ? b.C_lower : b.C_upper) = l.C;
    }
    return b;
}

struct Limits {
    double mu_hat, sigma_hat, nu, lam, gamma2, level;
    std::string side;
    Bounds b;
};

struct LognormalLimits {
    int n;
    double mean_log, sd_log, arithmetic_mean, level;
    std::string side;
    Bounds b;
    int n_nd = 0;
    std::string method = "exact UMAU";
};

// One method's row for data that may hold nondetects; a failed row has its
// reason in status and None for what it could not compute.
struct MethodLimits {
    std::string method, status;
    bool failed, approximate;
    std::optional<double> mean, sd, se, mean_log, sd_log, arithmetic_mean, C_lower, C_upper, lower, upper;
};

struct SampleLimits {
    int n, n_nd, uninformative;
    double level;
    std::string side;
    std::vector<MethodLimits> rows;
};

Limits limits(const py::object& mu_hat_object, const py::object& sigma_hat_object, const py::object& nu_object,
              const py::object& lam_object, const py::object& gamma2_object, const py::object& level_object,
              const std::string& side_text)
{
    const char* f = "limits";
    const double mu_hat = real(mu_hat_object, "mu_hat", f), sigma_hat = real(sigma_hat_object, "sigma_hat", f),
                 nu = real(nu_object, "nu", f), lam = real(lam_object, "lam", f);
    const std::optional<double> gamma2 = optional_real(gamma2_object, "gamma2", f);
    const double level = level_of(level_object, f);
    const velmar::Side side = side_of(side_text);
    const velmar::Estimates e{mu_hat, sigma_hat, nu, gamma2};
    velmar::Limits l;
    {
        py::gil_scoped_release unlocked;
        l = velmar::limits(e, lam, level, side);
    }
    std::ostringstream what;
    what.precision(17);
    what << "for mu_hat = " << mu_hat << ", sigma_hat = " << sigma_hat << ", nu = " << nu << ", lam = " << lam
         << ", level = " << level;
    return {mu_hat, sigma_hat, nu, lam, gamma2.value_or(nu + 1.0), level, side_text,
            bounds(l.lower, l.upper, what.str())};
}

// The values of any iterable of numbers; a one-dimensional buffer of doubles
// (a NumPy float64 array) is read directly.
std::vector<double> read_values(const py::handle& values)
{
    if (py::isinstance<py::str>(values) || py::isinstance<py::bytes>(values))
        throw py::type_error("values must be a sequence of numbers, not a string");
    std::vector<double> out;
    if (PyObject_CheckBuffer(values.ptr())) {
        const py::buffer_info info = py::reinterpret_borrow<py::buffer>(values).request();
        if (info.ndim != 1)
            throw py::value_error("values must be one-dimensional, got " + std::to_string(info.ndim) +
                                  " dimensions");
        if (info.format == py::format_descriptor<double>::format()) {
            const auto* base = static_cast<const char*>(info.ptr);
            out.reserve(static_cast<std::size_t>(info.shape[0]));
            for (py::ssize_t i = 0; i < info.shape[0]; ++i)
                out.push_back(*reinterpret_cast<const double*>(base + i * info.strides[0]));
            return out;
        }
    }
    if (!py::isinstance<py::iterable>(values))
        throw py::type_error("values must be a sequence of numbers, got " +
                             type_name(values));
    for (const py::handle item : py::iter(values)) {
        const std::string name = "values[" + std::to_string(out.size()) + "]";
        if (!is_real(item)) throw py::type_error(name + " = " + short_repr(item) + ": not a number");
        out.push_back(real(item, name, "lognormal_mean_limits"));
    }
    return out;
}

// The flags of nondetect=: None (no nondetects), or one bool (Python's or
// NumPy's) for each value.
std::vector<velmar::Observation> observations(const std::vector<double>& values, const py::object& nondetect)
{
    std::vector<velmar::Observation> out;
    for (const double v : values) out.push_back({v, false});
    if (nondetect.is_none()) return out;
    if (py::isinstance<py::str>(nondetect) || !py::isinstance<py::iterable>(nondetect))
        throw py::type_error("nondetect must be a sequence of bools, got " +
                             type_name(nondetect));
    std::size_t i = 0;
    for (const py::handle flag : py::iter(nondetect)) {
        const std::string type = type_name(flag);
        if (!PyBool_Check(flag.ptr()) && type != "bool_")
            throw py::type_error("nondetect[" + std::to_string(i) + "] = " + std::string(py::repr(flag)) +
                                 ": not a bool");
        if (i < out.size()) out[i].nondetect = flag.cast<bool>();
        ++i;
    }
    if (i != out.size())
        throw py::value_error("nondetect: " + std::to_string(i) + (i == 1 ? " flag" : " flags") + " for " +
                              std::to_string(out.size()) + " values");
    return out;
}

velmar::SampleLimits sample_limits(const std::vector<velmar::Observation>& sample, double level, velmar::Side side)
{
    py::gil_scoped_release unlocked;
    return velmar::mean_limits_by_method(sample, level, side);
}

SampleLimits mean_limits_by_method(const py::object& values_object, const py::object& level_object,
                                   const std::string& side_text, const py::object& nondetect)
{
    const double level = level_of(level_object, "mean_limits_by_method");
    const velmar::Side side = side_of(side_text);
    const velmar::SampleLimits s = sample_limits(observations(read_values(values_object), nondetect), level, side);
    SampleLimits out{s.n, s.nondetects, s.uninformative, s.level, side_name(s.side), {}};
    for (const velmar::MethodLimits& r : s.rows) {
        MethodLimits row{r.method, r.status, r.failed, r.approximate, r.mean, r.sd, r.se,
                         {}, {}, {}, {}, {}, r.lower, r.upper};
        if (r.exact) {
            row.mean_log = r.exact->mean_log;
            row.sd_log = r.exact->sd_log;
            row.arithmetic_mean = r.exact->arithmetic_mean;
            if (r.exact->lower) row.C_lower = r.exact->lower->C;
            if (r.exact->upper) row.C_upper = r.exact->upper->C;
        }
        out.rows.push_back(std::move(row));
    }
    return out;
}

// The Python result of the library's limits, `imputed` of them nondetects
// that a regression completed.
LognormalLimits lognormal_result(const velmar::LognormalLimits& r, double level, int imputed)
{
    std::ostringstream what;
    what.precision(17);
    what << "for the lognormal mean of " << r.n << " values";
    if (imputed > 0) what << " (" << imputed << " of them imputed)";
    what << " at level " << level;
    return {r.n,     r.mean_log,         r.sd_log, r.arithmetic_mean,
            r.level, side_name(r.side), bounds(r.lower, r.upper, what.str())};
}

LognormalLimits lognormal_mean_limits(const py::object& values_object, const py::object& level_object,
                                      const std::string& side_text, const py::object& nondetect)
{
    const double level = level_of(level_object, "lognormal_mean_limits");
    const velmar::Side side = side_of(side_text);
    const std::vector<double> values = read_values(values_object);
    if (!nondetect.is_none()) {
        // With flags: the exact limits of the sample the library completes
        // (its last row; the values themselves when none is a nondetect).
        // Data it cannot use are a ValueError with the reason; too few values
        // without nondetects meet the library's own refusal below.
        const velmar::SampleLimits s = sample_limits(observations(values, nondetect), level, side);
        const velmar::MethodLimits& row = s.rows.back();
        if (row.exact) {
            LognormalLimits result = lognormal_result(*row.exact, level, s.nondetects);
            result.n_nd = s.nondetects;
            result.method = row.method;
            return result;
        }
        if (s.nondetects > 0) throw py::value_error("values: " + row.status);
    }
    velmar::LognormalLimits r;
    {
        py::gil_scoped_release unlocked;
        r = velmar::lognormal_mean_limits(values, level, side);
    }
    return lognormal_result(r, level, 0);
}

// ---- The summary -------------------------------------------------------------

velmar::Summary summary(const py::object& values_object, const py::object& nondetect, const py::object& level,
                        const py::object& limit, const py::object& simulations, const py::object& seed)
{
    const char* f = "summary";
    velmar::SummaryOptions options;
    options.level = level_of(level, f);
    options.limit = optional_real(limit, "limit", f);
    options.simulations = static_cast<int>(integer(simulations, "simulations", f, 0, INT_MAX));
    options.seed = integer(seed, "seed", f, 0, UINT64_MAX);
    const std::vector<velmar::Observation> sample = observations(read_values(values_object), nondetect);
    py::gil_scoped_release unlocked;
    return velmar::summary(sample, options);
}

// ---- Results as dicts ---------------------------------------------------------

// Each result's fields in the order of its repr: fields(r, f) calls
// f(name, member) for each. _asdict() and pickling (as_dict) and the reading
// of a pickled dict (from_dict) both follow the one list.
template <class R, class T>
concept result_of = std::same_as<std::remove_const_t<R>, T>;

template <result_of<Bounds> R, class F>
void fields(R& b, F&& f)
{
    f("lower", b.lower);
    f("upper", b.upper);
    f("C_lower", b.C_lower);
    f("C_upper", b.C_upper);
    f("outcome", b.outcome);
    f("error_bound", b.error_bound);
}

template <result_of<Limits> R, class F>
void fields(R& r, F&& f)
{
    f("mu_hat", r.mu_hat);
    f("sigma_hat", r.sigma_hat);
    f("nu", r.nu);
    f("lam", r.lam);
    f("gamma2", r.gamma2);
    f("level", r.level);
    f("side", r.side);
    fields(r.b, f);
}

template <result_of<LognormalLimits> R, class F>
void fields(R& r, F&& f)
{
    f("n", r.n);
    f("n_nd", r.n_nd);
    f("method", r.method);
    f("mean_log", r.mean_log);
    f("sd_log", r.sd_log);
    f("arithmetic_mean", r.arithmetic_mean);
    f("level", r.level);
    f("side", r.side);
    fields(r.b, f);
}

template <result_of<MethodLimits> R, class F>
void fields(R& r, F&& f)
{
    f("method", r.method);
    f("status", r.status);
    f("failed", r.failed);
    f("approximate", r.approximate);
    f("mean", r.mean);
    f("sd", r.sd);
    f("se", r.se);
    f("mean_log", r.mean_log);
    f("sd_log", r.sd_log);
    f("arithmetic_mean", r.arithmetic_mean);
    f("C_lower", r.C_lower);
    f("C_upper", r.C_upper);
    f("lower", r.lower);
    f("upper", r.upper);
}

// rows stays a list of MethodLimits objects (each has its own _asdict()).
template <result_of<SampleLimits> R, class F>
void fields(R& r, F&& f)
{
    f("n", r.n);
    f("n_nd", r.n_nd);
    f("uninformative", r.uninformative);
    f("level", r.level);
    f("side", r.side);
    f("rows", r.rows);
}

template <result_of<velmar::MethodUpperLimit> R, class F>
void fields(R& u, F&& f)
{
    f("method", u.method);
    f("value", u.value);
    f("simulated_coverage", u.simulated_coverage);
    f("coverage_se", u.coverage_se);
    f("status", u.status);
    f("failed", u.failed);
}

template <result_of<velmar::ShapiroWilk> R, class F>
void fields(R& t, F&& f)
{
    f("W", t.W);
    f("p", t.p);
}

template <result_of<velmar::AndersonDarling> R, class F>
void fields(R& t, F&& f)
{
    f("A2", t.A2);
    f("p", t.p);
}

template <class R>
py::dict as_dict(const R& r)
{
    py::dict d;
    fields(r, [&d](const char* name, const auto& member) { d[name] = member; });
    return d;
}

template <class R>
R from_dict(const py::dict& d)
{
    R r{};
    fields(r, [&d](const char* name, auto& member) {
        member = d[name].template cast<std::decay_t<decltype(member)>>();
    });
    return r;
}

// The summary as plain Python values, keyed as the command line's JSON, with
// the probability plot besides.
template <>
py::dict as_dict(const velmar::Summary& s)
{
    py::dict d;
    d["n"] = s.n;
    d["n_nd"] = s.n_nd;
    d["level"] = s.level;
    d["arithmetic_mean"] = s.arithmetic_mean;
    d["geometric_mean"] = s.geometric_mean;
    d["geometric_sd"] = s.geometric_sd;
    d["mvue_mean"] = s.mvue_mean;
    d["shapiro_wilk"] = s.shapiro_wilk ? py::object(as_dict(*s.shapiro_wilk)) : py::object(py::none());
    d["anderson_darling"] = s.anderson_darling ? py::object(as_dict(*s.anderson_darling)) : py::object(py::none());
    d["ros_ppcc"] = s.ros_ppcc;
    py::list ucl;
    for (const auto& u : s.ucl) ucl.append(as_dict(u));
    d["ucl"] = ucl;
    d["p95"] = s.p95;
    d["p95_utl"] = s.p95_utl;
    d["limit"] = s.limit;
    d["exceedance"] = s.exceedance;
    d["exceedance_ucl"] = s.exceedance_ucl;
    d["compliance_p"] = s.compliance_p;
    d["warnings"] = s.warnings;
    py::list plot;
    for (const auto& p : s.probability_plot)
        plot.append(py::dict(py::arg("value") = p.value, py::arg("nondetect") = p.nondetect,
                             py::arg("plotting_position") = p.plotting_position, py::arg("z") = p.z,
                             py::arg("fitted") = p.fitted));
    d["probability_plot"] = plot;
    return d;
}

template <>
velmar::Summary from_dict(const py::dict& d)
{
    using Optional = std::optional<double>;
    velmar::Summary s;
    s.n = d["n"].cast<int>();
    s.n_nd = d["n_nd"].cast<int>();
    s.level = d["level"].cast<double>();
    s.arithmetic_mean = d["arithmetic_mean"].cast<Optional>();
    s.geometric_mean = d["geometric_mean"].cast<Optional>();
    s.geometric_sd = d["geometric_sd"].cast<Optional>();
    s.mvue_mean = d["mvue_mean"].cast<Optional>();
    if (!d["shapiro_wilk"].is_none()) s.shapiro_wilk = from_dict<velmar::ShapiroWilk>(d["shapiro_wilk"]);
    if (!d["anderson_darling"].is_none())
        s.anderson_darling = from_dict<velmar::AndersonDarling>(d["anderson_darling"]);
    s.ros_ppcc = d["ros_ppcc"].cast<Optional>();
    for (const py::handle u : d["ucl"])
        s.ucl.push_back(from_dict<velmar::MethodUpperLimit>(py::reinterpret_borrow<py::dict>(u)));
    s.p95 = d["p95"].cast<Optional>();
    s.p95_utl = d["p95_utl"].cast<Optional>();
    s.limit = d["limit"].cast<Optional>();
    s.exceedance = d["exceedance"].cast<Optional>();
    s.exceedance_ucl = d["exceedance_ucl"].cast<Optional>();
    s.compliance_p = d["compliance_p"].cast<Optional>();
    s.warnings = d["warnings"].cast<std::vector<std::string>>();
    for (const py::handle p : d["probability_plot"]) {
        const py::dict point = py::reinterpret_borrow<py::dict>(p);
        s.probability_plot.push_back({point["value"].cast<double>(), point["nondetect"].cast<bool>(),
                                      point["plotting_position"].cast<double>(), point["z"].cast<double>(),
                                      point["fitted"].cast<double>()});
    }
    return s;
}

double one_land_h(double n, double s, double level)
{
    py::gil_scoped_release unlocked;
    return velmar::land_h(n, s, level);
}

// n or s of land_h as a float64 array: arrays and sequences of numbers; an
// array of Python objects is read item by item, so that text is refused and
// a huge integer named rather than cast.
py::array_t<double> land_h_array(const py::module_& numpy, const py::object& x, const char* name)
{
    const py::object a = numpy.attr("asarray")(x);
    const std::string kind = py::str(a.attr("dtype").attr("kind"));
    if (kind == "b" || kind == "i" || kind == "u" || kind == "f")
        return py::array_t<double, py::array::forcecast>::ensure(a);
    if (kind != "O")
        throw py::type_error(std::string("land_h(): incompatible argument ") + name + ": an array of numbers is "
                             "needed, not of dtype " + std::string(py::str(a.attr("dtype"))));
    py::array_t<double> out(py::cast<std::vector<py::ssize_t>>(a.attr("shape")));
    const py::list items = a.attr("ravel")().attr("tolist")();
    double* data = out.mutable_data();
    for (std::size_t i = 0; i < items.size(); ++i)
        data[i] = real(items[i], std::string(name) + "[" + std::to_string(i) + "]", "land_h");
    return out;
}

// A plain number (not an array, a sequence or another iterable).
bool is_scalar(const py::handle& x)
{
    PyObject* o = x.ptr();
    if (PyFloat_Check(o) || PyLong_Check(o)) return true;
    return is_real(x) && !Py_TYPE(o)->tp_iter && !PySequence_Check(o);
}

py::object land_h(const py::object& n, const py::object& s, const py::object& level_object)
{
    for (const auto& [x, name] : {std::pair{&n, "n"}, std::pair{&s, "s"}})
        if (is_text(*x) || (!is_scalar(*x) && !PyObject_CheckBuffer(x->ptr()) && !py::isinstance<py::iterable>(*x)))
            throw py::type_error(std::string("land_h(): incompatible argument ") + name + " = " + short_repr(*x) +
                                 ": a number or an array of numbers is needed, not " + type_name(*x));
    const double level = level_of(level_object, "land_h");
    if (is_scalar(n) && is_scalar(s))
        return py::float_(one_land_h(real(n, "n", "land_h"), real(s, "s", "land_h"), level));
    py::module_ numpy;
    try {
        numpy = py::module_::import("numpy");
    } catch (const py::error_already_set&) {
        throw py::import_error("velmar.land_h: n and s are not plain numbers, and arrays need NumPy, "
                               "which cannot be imported");
    }
    const py::array_t<double> ns = land_h_array(numpy, n, "n"), ss = land_h_array(numpy, s, "s");
    numpy.attr("broadcast")(ns, ss); // NumPy's ValueError for shapes that do not broadcast
    auto each = py::vectorize([level](double n1, double s1) { return one_land_h(n1, s1, level); });
    return each(ns, ss);
}

// The attributes that Limits and LognormalLimits share.
template <class Class, class Result>
void def_bounds(Class& c)
{
    c.def_property_readonly(
         "lower", [](const Result& r) { return r.b.lower; }, "The lower limit, or None for an upper limit.")
        .def_property_readonly(
            "upper", [](const Result& r) { return r.b.upper; }, "The upper limit, or None for a lower limit.")
        .def_property_readonly(
            "C_lower", [](const Result& r) { return r.b.C_lower; },
            "The standardized critical value of the lower limit, or None.")
        .def_property_readonly(
            "C_upper", [](const Result& r) { return r.b.C_upper; },
            "The standardized critical value of the upper limit, or None.")
        .def_property_readonly(
            "outcome", [](const Result& r) { return r.b.outcome; },
            "'converged'; or 'beyond_precision' (found, but double precision cannot reach the usual "
            "accuracy: see error_bound) or 'iteration_limit' (the search ran out of iterations and "
            "returned its last point). Of two sides, the less favourable.")
        .def_property_readonly(
            "error_bound", [](const Result& r) { return r.b.error_bound; },
            "Estimated absolute error of C (the larger of two sides; 0 where the method gives none).");
}

std::string bounds_repr(const Bounds& b)
{
    return "lower=" + text(b.lower) + ", upper=" + text(b.upper) + ", C_lower=" + text(b.C_lower) +
           ", C_upper=" + text(b.C_upper) + ", outcome='" + b.outcome + "'";
}

// _asdict(), equality of all fields, and pickling (by the dict) for a result
// class; its __module__ is the package's, where pickle finds it.
template <class Class, class Result>
void def_value(Class& c, Result (*from_dict)(const py::dict&))
{
    c.def(
         "_asdict", [](const Result& r) { return as_dict(r); },
         "The fields as a dict (None where a value is absent).")
        .def(
            "__eq__",
            [](const Result& r, const py::object& other) -> py::object {
                if (!py::isinstance<Result>(other)) return py::reinterpret_borrow<py::object>(Py_NotImplemented);
                return py::bool_(as_dict(r).equal(as_dict(other.cast<const Result&>())));
            },
            py::is_operator())
        .def(py::pickle([](const Result& r) { return as_dict(r); }, from_dict));
    c.attr("__module__") = "velmar";
}

} // namespace

PYBIND11_MODULE(_core, m)
{
    m.doc() = "Exact confidence limits for theta = mu + lambda sigma^2 of a normal distribution, and for "
              "the mean of a lognormal sample.\n\n"
              "mu_hat ~ Normal(mu, sigma/gamma) and sigma_hat ~ sigma sqrt(chi2(nu)/nu), independent. "
              "The limits are the uniformly most accurate unbiased ones; each has the form\n"
              "    mu_hat + lam sigma_hat^2 + sign (sigma_hat/gamma) sqrt((nu + 1)/nu) C\n"
              "with sign -1 for lam < 0, else +1, and C the standardized critical value.\n\n"
              "Bad arguments raise ValueError; a limit that cannot be computed raises "
              "velmar.NumericalError (an ArithmeticError).";
    m.attr("__version__") = std::string(velmar::version());

    auto numerical_error = py::register_exception<velmar::NumericalError>(m, "NumericalError", PyExc_ArithmeticError);
    numerical_error.doc() = "A limit or Land's H could not be computed (no root, or a probability that could not "
                            "be evaluated).";
    numerical_error.attr("__module__") = "velmar";

    py::class_<Limits> limits_class(m, "Limits",
                                    "Confidence limits for theta = mu + lam sigma^2, as returned by "
                                    "velmar.limits(); read-only.");
    limits_class.def_readonly("mu_hat", &Limits::mu_hat, "The estimate of mu.")
        .def_readonly("sigma_hat", &Limits::sigma_hat, "The estimate of sigma.")
        .def_readonly("nu", &Limits::nu, "The degrees of freedom of sigma_hat.")
        .def_readonly("lam", &Limits::lam, "lambda in theta = mu + lambda sigma^2.")
        .def_readonly("gamma2", &Limits::gamma2, "gamma^2 (nu + 1 when it was not given).")
        .def_readonly("level", &Limits::level, "The confidence level.")
        .def_readonly("side", &Limits::side, "'upper', 'lower', 'two-sided' (the unbiased pair) or 'equal-tailed'.");
    def_bounds<decltype(limits_class), Limits>(limits_class);
    limits_class.def("__repr__", [](const Limits& r) {
        return "Limits(mu_hat=" + text(r.mu_hat) + ", sigma_hat=" + text(r.sigma_hat) + ", nu=" + text(r.nu) +
               ", lam=" + text(r.lam) + ", gamma2=" + text(r.gamma2) + ", level=" + text(r.level) + ", side='" +
               r.side + "', " + bounds_repr(r.b) + ")";
    });
    def_value(limits_class, &from_dict<Limits>);

    py::class_<LognormalLimits> lognormal_class(m, "LognormalLimits",
                                                "Confidence limits for the mean of a lognormal sample, as "
                                                "returned by velmar.lognormal_mean_limits(); read-only.");
    lognormal_class.def_readonly("n", &LognormalLimits::n, "The number of values.")
        .def_readonly("n_nd", &LognormalLimits::n_nd, "The number of nondetects among them.")
        .def_readonly("method", &LognormalLimits::method,
                      "'exact UMAU'; with nondetects 'ROS + exact UMAU', the exact limits of the values with "
                      "each nondetect imputed by regression on order statistics: approximate, as the imputed "
                      "values are not measurements (mean_log, sd_log and arithmetic_mean are theirs too).")
        .def_readonly("mean_log", &LognormalLimits::mean_log, "The mean of the logs of the values.")
        .def_readonly("sd_log", &LognormalLimits::sd_log,
                      "The standard deviation of the logs (divisor n - 1).")
        .def_readonly("arithmetic_mean", &LognormalLimits::arithmetic_mean,
                      "The mean of the values themselves, for comparison.")
        .def_readonly("level", &LognormalLimits::level, "The confidence level.")
        .def_readonly("side", &LognormalLimits::side, "'upper', 'lower', 'two-sided' (the unbiased pair) or 'equal-tailed'.");
    def_bounds<decltype(lognormal_class), LognormalLimits>(lognormal_class);
    lognormal_class.def("__repr__", [](const LognormalLimits& r) {
        const std::string nondetects =
            r.n_nd > 0 ? ", n_nd=" + std::to_string(r.n_nd) + ", method='" + r.method + "'" : std::string();
        return "LognormalLimits(n=" + std::to_string(r.n) + nondetects + ", mean_log=" + text(r.mean_log) +
               ", sd_log=" + text(r.sd_log) + ", level=" + text(r.level) + ", side='" + r.side + "', " +
               bounds_repr(r.b) + ")";
    });
    def_value(lognormal_class, &from_dict<LognormalLimits>);

    m.def("limits", &limits, py::arg("mu_hat"), py::arg("sigma_hat"), py::arg("nu"), py::arg("lam") = 0.5,
          py::arg("gamma2") = py::none(), py::arg("level") = 0.95, py::arg("side") = "upper",
          "Confidence limits for theta = mu + lam sigma^2.\n\n"
          "mu_hat: finite; sigma_hat: finite, >= 0; nu: degrees of freedom of sigma_hat, real, >= 2;\n"
          "lam: finite, any sign; gamma2: gamma^2 > 0, None for nu + 1 (the mean of a single sample of\n"
          "nu + 1 values); level: in (0, 1), or a percentage (95 reads as 0.95); side: 'upper', 'lower',\n"
          "'two-sided' (the unbiased pair) or 'equal-tailed' (one-sided limits of level (1 + level)/2).\n"
          "Returns a velmar.Limits. Raises ValueError for a bad argument and velmar.NumericalError\n"
          "when a limit cannot be computed.");

    m.def("lognormal_mean_limits", &lognormal_mean_limits, py::arg("values"), py::arg("level") = 0.95,
          py::arg("side") = "upper", py::kw_only(), py::arg("nondetect") = py::none(),
          "Confidence limits for the mean of a lognormal sample, from its values.\n\n"
          "values: any sequence or iterable of numbers, or a one-dimensional NumPy array; at least 3,\n"
          "each positive and finite. level: in (0, 1), or a percentage (95 reads as 0.95); side: 'upper', 'lower',\n"
          "'two-sided' (the unbiased pair) or 'equal-tailed' (one-sided limits of level (1 + level)/2).\n"
          "The limits are exp of the limits for mu + sigma^2/2 of the logs (lam 0.5, gamma^2 = n,\n"
          "nu = n - 1). nondetect: None, or a bool for each value, True where the value is a\n"
          "detection limit that the measurement lay below; then the limits are those of the values\n"
          "with the nondetects imputed by regression on order statistics (method 'ROS + exact UMAU';\n"
          "approximate; at least 3 detects, 2 of them distinct, and at most 80% nondetects).\n"
          "velmar.mean_limits_by_method gives the Kaplan-Meier limits beside them.\n"
          "Returns a velmar.LognormalLimits. Raises ValueError for a bad argument or data that no\n"
          "method can use, and velmar.NumericalError when a limit cannot be computed.");

    m.def("mean_limits_by_method", &mean_limits_by_method, py::arg("values"), py::arg("level") = 0.95,
          py::arg("side") = "upper", py::kw_only(), py::arg("nondetect") = py::none(),
          "Limits for the mean of data that may hold nondetects, one row per method.\n\n"
          "values, level, side and nondetect as for lognormal_mean_limits. The rows: 'exact UMAU'\n"
          "without nondetects; with them 'KM-t' and 'KM-Chebyshev' (Kaplan-Meier mean plus a t\n"
          "quantile or sqrt(1/(1 - level) - 1) times its standard error; Chebyshev for side 'upper'\n"
          "only) and 'ROS + exact UMAU'. Data that a method cannot use give a row with failed True\n"
          "and the reason in status. Returns a velmar.SampleLimits. Raises ValueError for a bad\n"
          "argument.");

    py::class_<MethodLimits> method_class(m, "MethodLimits", "One method's limits for the mean; read-only.");
    method_class.def_readonly("method", &MethodLimits::method,
                      "'exact UMAU', 'KM-t', 'KM-Chebyshev', 'ROS + exact UMAU', or '' when no method applies.")
        .def_readonly("status", &MethodLimits::status,
                      "The outcome's name ('converged', ...) where the row has its limits; else why not.")
        .def_readonly("failed", &MethodLimits::failed, "True when the row has no usable limit.")
        .def_readonly("approximate", &MethodLimits::approximate,
                      "True for 'ROS + exact UMAU': the imputed values are not measurements.")
        .def_readonly("mean", &MethodLimits::mean, "Kaplan-Meier rows: the mean; else None.")
        .def_readonly("sd", &MethodLimits::sd, "Kaplan-Meier rows: the standard deviation; else None.")
        .def_readonly("se", &MethodLimits::se, "Kaplan-Meier rows: the standard error of the mean; else None.")
        .def_readonly("mean_log", &MethodLimits::mean_log, "Exact rows: the mean of the logs; else None.")
        .def_readonly("sd_log", &MethodLimits::sd_log, "Exact rows: the standard deviation of the logs; else None.")
        .def_readonly("arithmetic_mean", &MethodLimits::arithmetic_mean,
                      "Exact rows: the mean of the (completed) values; else None.")
        .def_readonly("C_lower", &MethodLimits::C_lower, "Exact rows: C of the lower limit; else None.")
        .def_readonly("C_upper", &MethodLimits::C_upper, "Exact rows: C of the upper limit; else None.")
        .def_readonly("lower", &MethodLimits::lower, "The lower limit for the mean, or None.")
        .def_readonly("upper", &MethodLimits::upper, "The upper limit for the mean, or None.")
        .def("__repr__", [](const MethodLimits& r) {
            return "MethodLimits(method='" + r.method + "', status='" + r.status + "', lower=" + text(r.lower) +
                   ", upper=" + text(r.upper) + ")";
        });

    def_value(method_class, &from_dict<MethodLimits>);

    py::class_<SampleLimits> sample_class(m, "SampleLimits",
                                          "The rows of velmar.mean_limits_by_method() for one sample; read-only.");
    sample_class.def_readonly("n", &SampleLimits::n, "The number of values, nondetects included.")
        .def_readonly("n_nd", &SampleLimits::n_nd, "The number of nondetects.")
        .def_readonly("uninformative", &SampleLimits::uninformative,
                      "Nondetects whose limit lies above the largest detect: Kaplan-Meier cannot use them.")
        .def_readonly("level", &SampleLimits::level, "The confidence level.")
        .def_readonly("side", &SampleLimits::side, "'upper', 'lower', 'two-sided' or 'equal-tailed'.")
        .def_readonly("rows", &SampleLimits::rows, "A list of velmar.MethodLimits, one per method.")
        .def("__repr__", [](const SampleLimits& s) {
            return "SampleLimits(n=" + std::to_string(s.n) + ", n_nd=" + std::to_string(s.n_nd) + ", level=" +
                   text(s.level) + ", side='" + s.side + "', rows=" + std::to_string(s.rows.size()) + ")";
        });
    def_value(sample_class, &from_dict<SampleLimits>);

    py::class_<velmar::ShapiroWilk> shapiro_wilk_class(m, "ShapiroWilk", "The Shapiro-Wilk test of the logs; read-only.");
    shapiro_wilk_class.def_readonly("W", &velmar::ShapiroWilk::W, "The statistic W.")
        .def_readonly("p", &velmar::ShapiroWilk::p, "Its p-value (Royston's approximation).")
        .def("__repr__",
             [](const velmar::ShapiroWilk& t) { return "ShapiroWilk(W=" + text(t.W) + ", p=" + text(t.p) + ")"; });
    def_value(shapiro_wilk_class, &from_dict<velmar::ShapiroWilk>);
    py::class_<velmar::AndersonDarling> anderson_darling_class(m, "AndersonDarling",
                                                               "The Anderson-Darling test of the logs; read-only.");
    anderson_darling_class.def_readonly("A2", &velmar::AndersonDarling::A2, "The statistic A2 (not adjusted for n).")
        .def_readonly("p", &velmar::AndersonDarling::p, "Its p-value, from A2 (1 + 0.75/n + 2.25/n^2).")
        .def("__repr__", [](const velmar::AndersonDarling& t) {
            return "AndersonDarling(A2=" + text(t.A2) + ", p=" + text(t.p) + ")";
        });
    def_value(anderson_darling_class, &from_dict<velmar::AndersonDarling>);
    py::class_<velmar::MethodUpperLimit> upper_limit_class(
        m, "MethodUpperLimit", "One method's upper limit for the mean in a summary; read-only.");
    upper_limit_class.def_readonly("method", &velmar::MethodUpperLimit::method, "'exact UMAU', 'Student-t', ...")
        .def_readonly("value", &velmar::MethodUpperLimit::value, "The upper limit, or None (see status).")
        .def_readonly("simulated_coverage", &velmar::MethodUpperLimit::simulated_coverage,
                      "The share of simulated samples like the data whose limit covered the fitted mean, or None.")
        .def_readonly("coverage_se", &velmar::MethodUpperLimit::coverage_se, "Its standard error, or None.")
        .def_readonly("status", &velmar::MethodUpperLimit::status,
                      "'converged' (or the exact limit's outcome) where value stands; else why not.")
        .def_readonly("failed", &velmar::MethodUpperLimit::failed,
                      "True when the limit is missing for too few values or a numerical failure.")
        .def("__repr__", [](const velmar::MethodUpperLimit& u) {
            return "MethodUpperLimit(method='" + u.method + "', value=" + text(u.value) +
                   ", simulated_coverage=" + text(u.simulated_coverage) + ", status='" + u.status + "')";
        });
    def_value(upper_limit_class, &from_dict<velmar::MethodUpperLimit>);
    py::class_<velmar::Summary> summary_class(m, "Summary",
                                              "The summary of a sample, as returned by velmar.summary(); read-only. "
                                              "Its fields are those of the command line's JSON; _asdict() gives "
                                              "them as a dict (nested dicts and lists), with 'probability_plot': "
                                              "per value its plotting position, normal score z and fitted "
                                              "(ROS-imputed for a nondetect) value.");
    summary_class.def_readonly("n", &velmar::Summary::n, "The number of values, nondetects included.")
        .def_readonly("n_nd", &velmar::Summary::n_nd, "The number of nondetects.")
        .def_readonly("level", &velmar::Summary::level, "The confidence level of every limit.")
        .def_readonly("arithmetic_mean", &velmar::Summary::arithmetic_mean, "The mean of the values.")
        .def_readonly("geometric_mean", &velmar::Summary::geometric_mean, "exp of the mean of the logs.")
        .def_readonly("geometric_sd", &velmar::Summary::geometric_sd, "exp of the sd of the logs (divisor n - 1).")
        .def_readonly("mvue_mean", &velmar::Summary::mvue_mean,
                      "The minimum-variance unbiased estimate of the lognormal mean (Finney).")
        .def_readonly("shapiro_wilk", &velmar::Summary::shapiro_wilk, "A velmar.ShapiroWilk, or None.")
        .def_readonly("anderson_darling", &velmar::Summary::anderson_darling, "A velmar.AndersonDarling, or None.")
        .def_readonly("ros_ppcc", &velmar::Summary::ros_ppcc,
                      "With nondetects: the correlation of the ROS probability plot; else None.")
        .def_readonly("ucl", &velmar::Summary::ucl, "A list of velmar.MethodUpperLimit, one per method.")
        .def_readonly("p95", &velmar::Summary::p95, "The fitted 95th percentile, exp(ybar + z_0.95 s).")
        .def_readonly("p95_utl", &velmar::Summary::p95_utl, "Its upper tolerance limit of confidence level.")
        .def_readonly("limit", &velmar::Summary::limit, "The exposure limit given, or None.")
        .def_readonly("exceedance", &velmar::Summary::exceedance, "The fitted share of values above the limit.")
        .def_readonly("exceedance_ucl", &velmar::Summary::exceedance_ucl, "Its exact upper confidence limit.")
        .def_readonly("compliance_p", &velmar::Summary::compliance_p,
                      "The p-value of 'the mean is below the limit': the exact upper limit at 1 - p equals it.")
        .def_readonly("warnings", &velmar::Summary::warnings, "A list of sentences.")
        .def("__repr__", [](const velmar::Summary& s) {
            return "Summary(n=" + std::to_string(s.n) + ", n_nd=" + std::to_string(s.n_nd) + ", level=" +
                   text(s.level) + ", methods=" + std::to_string(s.ucl.size()) + ", warnings=" +
                   std::to_string(s.warnings.size()) + ")";
        });
    def_value(summary_class, &from_dict<velmar::Summary>);
    m.def("summary", &summary, py::arg("values"), py::arg("nondetect") = py::none(), py::arg("level") = 0.95,
          py::arg("limit") = py::none(), py::arg("simulations") = 4000, py::arg("seed") = 0,
          "What surrounds the exact limit for a sample: lognormality tests of the logs, the upper limits\n"
          "of several methods with their simulated coverage, geometric statistics, the 95th percentile,\n"
          "and with limit= the exceedance of that exposure limit and the compliance p-value.\n\n"
          "values as for lognormal_mean_limits (at least 1); nondetect: None or one bool per value (the\n"
          "value is then its detection limit); level in (0, 1) or a percentage (95 reads as 0.95);\n"
          "limit > 0 or None; simulations >= 0\n"
          "(0: no simulated coverage); seed: 0 to 2**64 - 1, the same numbers on every platform.\n"
          "Returns a velmar.Summary. Raises ValueError for a bad argument.");

    m.def("land_h", &land_h, py::arg("n"), py::arg("s"), py::arg("level") = 0.95,
          "Land's H: the standardized one-sided critical value C for a lognormal sample of size n\n"
          "(real, >= 3) with log-scale standard deviation s >= 0, at level in (0, 1) (or a percentage:\n"
          "95 reads as 0.95).\n\n"
          "n and s are numbers (the result is a float) or array-likes that NumPy broadcasts against\n"
          "each other (the result is an array of their broadcast shape; needs NumPy). Raises\n"
          "ValueError for a bad argument and velmar.NumericalError when H cannot be computed.");

    m.def(
        "read_cell",
        [](const std::string& text, bool decimal_comma) -> py::object {
            const velmar::Cell cell = velmar::read_cell(text, decimal_comma);
            if (cell.refusal) throw py::value_error(std::string(velmar::describe(*cell.refusal)));
            if (!cell.observation) return py::none();
            return py::make_tuple(cell.observation->value, cell.observation->nondetect);
        },
        py::arg("text"), py::arg("decimal_comma") = false,
        "One measurement cell as the command line reads it: (value, nondetect) for a positive finite\n"
        "number or '<' and one (a nondetect below that detection limit), None for an empty cell or NA.\n"
        "decimal_comma: a comma is the decimal separator and a point is refused. Raises ValueError\n"
        "with the reason (\"is not a number\", ...) for anything else, \"ND\" included.");
    m.def(
        "read_nondetect_mark",
        [](const std::string& text) {
            if (const std::optional<bool> mark = velmar::read_nondetect_mark(text)) return *mark;
            throw py::value_error(velmar::mark_refusal());
        },
        py::arg("text"),
        "A cell of a column of nondetect marks, in any case: True for <, ND, U, TRUE, Y, YES; False for\n"
        "empty, =, D, FALSE, N, NO. Raises ValueError for anything else.");
    m.def(
        "_summary_methods",
        [] {
            const auto names = velmar::summary_methods();
            return std::vector<std::string>(names.begin(), names.end());
        },
        "Every method a summary can hold, in the order of its panel.");
    m.def(
        "_cell_refusals",
        [] {
            using velmar::CellRefusal;
            py::dict d;
            for (const auto& [name, refusal] : {std::pair{"not_a_number", CellRefusal::not_a_number},
                                                std::pair{"not_finite", CellRefusal::not_finite},
                                                std::pair{"overflow", CellRefusal::overflow},
                                                std::pair{"not_positive", CellRefusal::not_positive}})
                d[name] = std::string(velmar::describe(refusal));
            return d;
        },
        "The library's refusals of a cell, after its text, by name (internal: velmar.limits_table).");
    m.def(
        "_mark_refusal", [] { return velmar::mark_refusal(); },
        "Why a cell is not a nondetect mark, after its text (internal: velmar.limits_table).");
    m.def(
        "_group_seed",
        [](const py::object& seed, const std::string& key) {
            return velmar::group_seed(integer(seed, "seed", "group_seed", 0, UINT64_MAX), key);
        },
        py::arg("seed"), py::arg("key"), "The library's seed of the group named key (internal: velmar.group_seed).");
    m.def(
        "_request",
        [](const py::object& level, const std::string& side) {
            return py::make_tuple(level_of(level, "limits_table"), side_name(side_of(side)));
        },
        py::arg("level"), py::arg("side"), "(level as a fraction, side), checked (internal).");
}
