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
// NumPy is needed only when land_h is given arrays.

#include "velmar/velmar.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cmath>
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

velmar::Side side_of(const std::string& side)
{
    if (const auto s = velmar::parse_side(side)) return *s;
    std::ostringstream message;
    message << "side = '" << side << "': must be ";
    for (const velmar::Side s : {velmar::Side::upper, velmar::Side::lower, velmar::Side::two_sided})
        message << "'" << velmar::to_string(s) << "', ";
    message << "or '" << velmar::to_string(velmar::Side::equal_tailed) << "'";
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
                             std::string(py::str(py::type::of(values).attr("__name__"))));
    for (const py::handle item : py::iter(values)) {
        const std::string name = "values[" + std::to_string(out.size()) + "]";
        if (!is_real(item)) throw py::type_error(name + " = " + short_repr(item) + ": not a number");
        out.push_back(real(item, name, "lognormal_mean_limits"));
    }
    return out;
}

LognormalLimits lognormal_mean_limits(const py::object& values_object, const py::object& level_object,
                                      const std::string& side_text)
{
    const double level = level_of(level_object, "lognormal_mean_limits");
    const velmar::Side side = side_of(side_text);
    const std::vector<double> values = read_values(values_object);
    velmar::LognormalLimits r;
    {
        py::gil_scoped_release unlocked;
        r = velmar::lognormal_mean_limits(values, level, side);
    }
    std::ostringstream what;
    what.precision(17);
    what << "for the lognormal mean of " << r.n << " values at level " << level;
    return {r.n, r.mean_log, r.sd_log, r.arithmetic_mean, r.level, side_name(r.side),
            bounds(r.lower, r.upper, what.str())};
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

// A number of a table row: NaN where there is none (pandas' missing value).
double cell(const std::optional<velmar::Limit>& limit, double velmar::Limit::*field)
{
    return limit && std::isfinite((*limit).*field) ? (*limit).*field : std::nan("");
}

// The rows of one group of a table (velmar.limits_table), one per method, as
// dicts: method, status (the outcome's name of the less exact side, else why
// there is no limit), failed, and the numbers (NaN where there is none).
// values: positive and finite, checked by the caller.
py::list sample_rows(const py::object& values_object, const py::object& nondetect_object,
                     const py::object& level_object, const std::string& side_text)
{
    const double level = level_of(level_object, "limits_table");
    const velmar::Side side = side_of(side_text);
    const std::vector<double> values = read_values(values_object);
    for (const py::handle flag : py::iter(nondetect_object))
        if (flag.cast<bool>())
            throw py::value_error("nondetects: this build of velmar computes limits for complete data only");
    py::dict row;
    row["method"] = "exact UMAU";
    row["status"] = "converged";
    row["failed"] = false;
    const double nan = std::nan("");
    for (const char* name : {"mean_log", "sd_log", "arithmetic_mean", "C_lower", "C_upper", "lower", "upper"})
        row[name] = nan;
    if (values.size() < 3) {
        row["status"] = std::to_string(values.size()) + (values.size() == 1 ? " value" : " values") +
                        ", at least 3 are needed";
        row["failed"] = true;
        return py::list(py::make_tuple(row));
    }
    velmar::LognormalLimits r;
    {
        py::gil_scoped_release unlocked;
        r = velmar::lognormal_mean_limits(values, level, side);
    }
    row["mean_log"] = r.mean_log;
    row["sd_log"] = r.sd_log;
    row["arithmetic_mean"] = r.arithmetic_mean;
    row["C_lower"] = cell(r.lower, &velmar::Limit::C);
    row["C_upper"] = cell(r.upper, &velmar::Limit::C);
    row["lower"] = cell(r.lower, &velmar::Limit::value);
    row["upper"] = cell(r.upper, &velmar::Limit::value);
    bool failed = false;
    for (const auto* limit : {&r.lower, &r.upper}) {
        if (!*limit) continue;
        const velmar::Outcome outcome = (*limit)->outcome;
        if (!velmar::usable(outcome)) {
            row["status"] = std::string(limit == &r.lower ? "lower limit: " : "upper limit: ") + outcome_name(outcome);
            failed = true;
        } else if (!failed && outcome != velmar::Outcome::converged) {
            row["status"] = outcome_name(outcome);
        }
    }
    row["failed"] = failed;
    return py::list(py::make_tuple(row));
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

// The fields of a result as a dict, in the order of its repr: the form that
// _asdict() returns and that pickling stores.
py::dict bounds_into(py::dict d, const Bounds& b)
{
    d["lower"] = b.lower;
    d["upper"] = b.upper;
    d["C_lower"] = b.C_lower;
    d["C_upper"] = b.C_upper;
    d["outcome"] = b.outcome;
    d["error_bound"] = b.error_bound;
    return d;
}

Bounds bounds_from(const py::dict& d)
{
    using Optional = std::optional<double>;
    return {d["lower"].cast<Optional>(), d["upper"].cast<Optional>(), d["C_lower"].cast<Optional>(),
            d["C_upper"].cast<Optional>(), d["outcome"].cast<std::string>(), d["error_bound"].cast<double>()};
}

py::dict as_dict(const Limits& r)
{
    py::dict d;
    d["mu_hat"] = r.mu_hat;
    d["sigma_hat"] = r.sigma_hat;
    d["nu"] = r.nu;
    d["lam"] = r.lam;
    d["gamma2"] = r.gamma2;
    d["level"] = r.level;
    d["side"] = r.side;
    return bounds_into(d, r.b);
}

Limits limits_from(const py::dict& d)
{
    return {d["mu_hat"].cast<double>(), d["sigma_hat"].cast<double>(), d["nu"].cast<double>(),
            d["lam"].cast<double>(),    d["gamma2"].cast<double>(),    d["level"].cast<double>(),
            d["side"].cast<std::string>(), bounds_from(d)};
}

py::dict as_dict(const LognormalLimits& r)
{
    py::dict d;
    d["n"] = r.n;
    d["mean_log"] = r.mean_log;
    d["sd_log"] = r.sd_log;
    d["arithmetic_mean"] = r.arithmetic_mean;
    d["level"] = r.level;
    d["side"] = r.side;
    return bounds_into(d, r.b);
}

LognormalLimits lognormal_limits_from(const py::dict& d)
{
    return {d["n"].cast<int>(),       d["mean_log"].cast<double>(), d["sd_log"].cast<double>(),
            d["arithmetic_mean"].cast<double>(), d["level"].cast<double>(), d["side"].cast<std::string>(),
            bounds_from(d)};
}

// _asdict(), equality of all fields, and pickling (by the dict) for a result
// class; its __module__ is the package's, where pickle finds it.
template <class Class, class Result>
void def_value(Class& c, Result (*from_dict)(const py::dict&))
{
    c.def(
         "_asdict", [](const Result& r) { return as_dict(r); },
         "The fields as a dict, in the order of repr (None for an absent side).")
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
    def_value(limits_class, &limits_from);

    py::class_<LognormalLimits> lognormal_class(m, "LognormalLimits",
                                                "Confidence limits for the mean of a lognormal sample, as "
                                                "returned by velmar.lognormal_mean_limits(); read-only.");
    lognormal_class.def_readonly("n", &LognormalLimits::n, "The number of values.")
        .def_readonly("mean_log", &LognormalLimits::mean_log, "The mean of the logs of the values.")
        .def_readonly("sd_log", &LognormalLimits::sd_log,
                      "The standard deviation of the logs (divisor n - 1).")
        .def_readonly("arithmetic_mean", &LognormalLimits::arithmetic_mean,
                      "The mean of the values themselves, for comparison.")
        .def_readonly("level", &LognormalLimits::level, "The confidence level.")
        .def_readonly("side", &LognormalLimits::side, "'upper', 'lower', 'two-sided' (the unbiased pair) or 'equal-tailed'.");
    def_bounds<decltype(lognormal_class), LognormalLimits>(lognormal_class);
    lognormal_class.def("__repr__", [](const LognormalLimits& r) {
        return "LognormalLimits(n=" + std::to_string(r.n) + ", mean_log=" + text(r.mean_log) +
               ", sd_log=" + text(r.sd_log) + ", level=" + text(r.level) + ", side='" + r.side + "', " +
               bounds_repr(r.b) + ")";
    });
    def_value(lognormal_class, &lognormal_limits_from);

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
          py::arg("side") = "upper",
          "Confidence limits for the mean of a lognormal sample, from its values.\n\n"
          "values: any sequence or iterable of numbers, or a one-dimensional NumPy array; at least 3,\n"
          "each positive and finite. level: in (0, 1), or a percentage (95 reads as 0.95); side: 'upper', 'lower',\n"
          "'two-sided' (the unbiased pair) or 'equal-tailed' (one-sided limits of level (1 + level)/2).\n"
          "The limits are exp of the limits for mu + sigma^2/2 of the logs (lam 0.5, gamma^2 = n,\n"
          "nu = n - 1). Returns a velmar.LognormalLimits. Raises ValueError for a bad argument and\n"
          "velmar.NumericalError when a limit cannot be computed.");

    m.def("land_h", &land_h, py::arg("n"), py::arg("s"), py::arg("level") = 0.95,
          "Land's H: the standardized one-sided critical value C for a lognormal sample of size n\n"
          "(real, >= 3) with log-scale standard deviation s >= 0, at level in (0, 1) (or a percentage:\n"
          "95 reads as 0.95).\n\n"
          "n and s are numbers (the result is a float) or array-likes that NumPy broadcasts against\n"
          "each other (the result is an array of their broadcast shape; needs NumPy). Raises\n"
          "ValueError for a bad argument and velmar.NumericalError when H cannot be computed.");

    m.def("_sample_rows", &sample_rows, py::arg("values"), py::arg("nondetect"), py::arg("level"), py::arg("side"),
          "The rows of one group of velmar.limits_table, as dicts (internal).");
    m.def(
        "_request",
        [](const py::object& level, const std::string& side) {
            return py::make_tuple(level_of(level, "limits_table"), side_name(side_of(side)));
        },
        py::arg("level"), py::arg("side"), "(level as a fraction, side), checked (internal).");
}
