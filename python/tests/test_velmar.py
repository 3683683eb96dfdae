"""Tests of the Python module velmar as a Python user meets it.

Run by CTest (test python_tests), which sets PYTHONPATH to the module's build
folder and names the C++ reference program and the build folder in the
environment.
"""

import array
import concurrent.futures
import math
import os
import pickle
import subprocess
import sys

import pytest

import velmar

try:
    import numpy as np
except ImportError:  # the array tests need NumPy; the rest do not
    np = None

needs_numpy = pytest.mark.skipif(np is None, reason="NumPy is not installed")

# The four small concentrations of a published question-and-answer example
# (n = 4): logs with mean -2.89759 and standard deviation 1.11173; published
# exact 95% limits for the mean, one-sided upper 11.6 and one-sided lower 0.039,
# read from interpolated tables (good to 1 or 2 percent) and rounded to two or
# three digits: compared within 3 percent.
FOUR = [0.043, 0.236, 0.057, 0.016]


def test_worked_examples():
    # Land's H for n = 15, s = 0.4272 at 0.95, printed to five decimals.
    assert round(velmar.land_h(15, 0.4272, 0.95), 5) == 1.99370

    upper = velmar.lognormal_mean_limits(FOUR, level=0.95)
    assert (upper.n, upper.side, upper.lower, upper.C_lower) == (4, "upper", None, None)
    assert round(upper.mean_log, 5) == -2.89759
    assert round(upper.sd_log, 5) == 1.11173
    assert upper.upper == pytest.approx(11.6, rel=0.03)
    assert upper.outcome == "converged"

    lower = velmar.lognormal_mean_limits(FOUR, level=0.95, side="lower")
    assert (lower.upper, lower.C_upper) == (None, None)
    assert lower.lower == pytest.approx(0.039, rel=0.03)


def reference_lines():
    program = os.environ.get("VELMAR_REFERENCE_VALUES")
    if not program:
        pytest.skip("VELMAR_REFERENCE_VALUES names no C++ reference program (run through ctest)")
    out = subprocess.run([program], check=True, capture_output=True, text=True).stdout
    return [line.split() for line in out.splitlines()]


def number(word):
    return None if word == "None" else float(word)


def test_results_equal_the_cpp_library_bit_for_bit():
    lines = reference_lines()
    assert len(lines) == 13
    for words in lines:
        kind = words[0]
        if kind == "land_h":
            n, s, level, h = map(float, words[1:])
            assert velmar.land_h(n, s, level) == h, words
            continue
        side, rest = words[1], [number(w) for w in words[2:]]
        if kind == "limits":
            mu, sigma, nu, lam, gamma2, level, *expected = rest
            r = velmar.limits(mu, sigma, nu, lam=lam, gamma2=gamma2, level=level, side=side)
            assert r.gamma2 == (nu + 1 if gamma2 is None else gamma2)
        else:
            level, count = rest[0], int(rest[1])
            values, (mean_log, sd_log, *expected) = rest[2:2 + count], rest[2 + count:]
            r = velmar.lognormal_mean_limits(values, level=level, side=side)
            assert (r.n, r.mean_log, r.sd_log) == (count, mean_log, sd_log), words
        assert (r.side, r.level) == (side, level)
        assert [r.lower, r.upper, r.C_lower, r.C_upper] == expected, words
        assert r.outcome == "converged"


def test_values_from_any_sequence():
    expected = velmar.lognormal_mean_limits(FOUR, side="two-sided")
    kinds = [tuple(FOUR), (v for v in FOUR), array.array("d", FOUR)]
    if np is not None:  # read directly, with a stride, and item by item
        kinds += [np.array(FOUR), np.repeat(FOUR, 2)[::2], np.array(FOUR, dtype=object)]
    for values in kinds:
        r = velmar.lognormal_mean_limits(values, side="two-sided")
        assert (r.lower, r.upper, r.sd_log) == (expected.lower, expected.upper, expected.sd_log), values


ARGUMENT_ERRORS = [
    # (call, exception, start of the message)
    (lambda: velmar.limits(0.0, 1.0, 10, level=1.0), ValueError, "level = 1:"),
    (lambda: velmar.limits(0.0, 1.0, 1.5), ValueError, "nu = 1.5:"),
    (lambda: velmar.limits(0.0, -0.1, 10), ValueError, "sigma_hat = -0.1"),
    (lambda: velmar.limits(0.0, 1.0, 10, gamma2=0.0), ValueError, "gamma2 = 0"),
    (lambda: velmar.limits(0.0, 1.0, 10, lam=math.inf), ValueError, "lambda = inf"),
    (lambda: velmar.limits(0.0, 1.0, 10, side="both"), ValueError, "side = 'both'"),
    (lambda: velmar.limits(0.0, "1", 10), TypeError, "limits(): incompatible"),
    (lambda: velmar.lognormal_mean_limits([1.0, 2.0]), ValueError, "values: 2 given"),
    (lambda: velmar.lognormal_mean_limits([1.0, -2.0, 3.0]), ValueError, "values[1] = -2"),
    (lambda: velmar.lognormal_mean_limits(FOUR, level=0.0), ValueError, "level = 0:"),
    (lambda: velmar.lognormal_mean_limits(FOUR, side="Upper"), ValueError, "side = 'Upper'"),
    (lambda: velmar.lognormal_mean_limits("1234"), TypeError, "values must be a sequence"),
    (lambda: velmar.lognormal_mean_limits([1.0, "x", 2.0]), TypeError, "values[1] = 'x'"),
    (lambda: velmar.lognormal_mean_limits(4.0), TypeError, "values must be a sequence"),
    (lambda: velmar.land_h(2.5, 0.4), ValueError, "n = 2.5"),
    (lambda: velmar.land_h(15, 0.4, level=-0.5), ValueError, "level = -0.5"),
]


# A wrong type is a TypeError naming the argument, a number beyond the range
# of doubles a ValueError; numbers of any kind (NumPy scalars) are read.
ARGUMENT_ERRORS += [
    (lambda: velmar.land_h("abc", 0.5), TypeError, "land_h(): incompatible argument n = 'abc'"),
    (lambda: velmar.land_h(15, b"0.5"), TypeError, "land_h(): incompatible argument s = b'0.5'"),
    (lambda: velmar.land_h(None, 0.5), TypeError, "land_h(): incompatible argument n = None"),
    (lambda: velmar.land_h(15, 0.5, level="95"), TypeError, "land_h(): incompatible argument level = '95'"),
    (lambda: velmar.land_h(10**400, 0.5), ValueError, "n = 1000000"),
    (lambda: velmar.land_h(15, -10**400), ValueError, "s = -1000000"),
    (lambda: velmar.limits(0.0, 1.0, 10, level=10**400), ValueError, "level = 1000000"),
    (lambda: velmar.limits(10**400, 1.0, 10), ValueError, "mu_hat = 1000000"),
    (lambda: velmar.limits(0.0, 1.0, 10, gamma2="4"), TypeError, "limits(): incompatible argument gamma2 = '4'"),
    (lambda: velmar.limits(0.0, 1.0, 10, lam=1j), TypeError, "limits(): incompatible argument lam = 1j"),
    (lambda: velmar.lognormal_mean_limits([1.0, 2.0, 10**400]), ValueError, "values[2] = 1000000"),
    (lambda: velmar.lognormal_mean_limits(FOUR, level=None), TypeError,
     "lognormal_mean_limits(): incompatible argument level = None"),
    (lambda: velmar.lognormal_mean_limits(FOUR, level=100), ValueError, "level = 100:"),
]


@pytest.mark.parametrize("call, exception, message", ARGUMENT_ERRORS)
def test_argument_errors(call, exception, message):
    with pytest.raises(exception) as raised:
        call()
    assert str(raised.value).startswith(message)


@needs_numpy
def test_array_errors():
    with pytest.raises(ValueError, match=r"^values must be one-dimensional"):
        velmar.lognormal_mean_limits(np.ones((2, 3)))
    with pytest.raises(ValueError, match=r"^n = 2:"):
        velmar.land_h(np.array([15.0, 2.0]), 0.4)
    with pytest.raises(ValueError, match=r"^s = nan:"):
        velmar.land_h(15, [0.4, math.nan])


@needs_numpy
def test_array_type_errors():
    with pytest.raises(TypeError, match=r"^land_h\(\): incompatible argument n: an array of numbers"):
        velmar.land_h(["15", "20"], 0.4)
    with pytest.raises(TypeError, match=r"^land_h\(\): incompatible argument s: an array of numbers"):
        velmar.land_h(15, [0.4, "x"])
    with pytest.raises(TypeError, match=r"^land_h\(\): incompatible argument s\[1\] = None"):
        velmar.land_h(15, [0.4, None])
    with pytest.raises(ValueError, match=r"^n\[1\] = 1000"):
        velmar.land_h([15, 10**400], 0.4)


def test_levels_read_as_the_command_line_reads_them():
    # A percentage above 1 and below 100 is the same level as its fraction.
    assert velmar.land_h(15, 0.4272, 95) == velmar.land_h(15, 0.4272, 0.95)
    r = velmar.limits(0.5, 1.1, 12, level=90, side="two-sided")
    assert r._asdict() == velmar.limits(0.5, 1.1, 12, level=0.9, side="two-sided")._asdict()
    assert velmar.lognormal_mean_limits(FOUR, level=95).level == 0.95
    if np is not None:
        assert velmar.land_h(np.int64(15), np.float32(0.5), np.int32(99)) == velmar.land_h(15, 0.5, 0.99)


def test_results_pickle_and_convert_to_dicts():
    censored = dict(nondetect=[False, False, False, True, False])
    by_method = velmar.mean_limits_by_method(FOUR + [0.3], level=95, **censored)
    assert by_method == velmar.mean_limits_by_method(FOUR + [0.3], level=0.95, **censored)
    for r in (velmar.limits(0.5, 1.1, 12, side="two-sided"), velmar.limits(0.5, 1.1, 12, gamma2=4.0),
              velmar.lognormal_mean_limits(FOUR, side="lower"), by_method, *by_method.rows,
              velmar.lognormal_mean_limits(FOUR + [0.3], **censored)):
        copy = pickle.loads(pickle.dumps(r))
        assert type(copy) is type(r) and copy == r and repr(copy) == repr(r)
        fields = r._asdict()
        assert all(getattr(r, name) == value for name, value in fields.items())
    two = velmar.limits(0.5, 1.1, 12, side="two-sided")._asdict()
    assert (two["side"], two["outcome"]) == ("two-sided", "converged")
    assert velmar.limits(0.5, 1.1, 12)._asdict()["lower"] is None
    assert velmar.limits(0.5, 1.1, 12) != velmar.limits(0.5, 1.1, 13)
    assert type(velmar.limits(0.5, 1.1, 12)).__module__ == "velmar"


def test_numerical_error_is_an_arithmetic_error():
    assert issubclass(velmar.NumericalError, ArithmeticError)


@needs_numpy
def test_land_h_broadcasts_like_scalar_calls():
    n = np.array([3, 7.5, 15, 40])[:, None]
    s = np.array([0.05, 0.4272, 1.3])
    table = velmar.land_h(n, s, level=0.9)
    assert isinstance(table, np.ndarray) and table.shape == (4, 3) and table.dtype == np.float64
    for i, j in np.ndindex(table.shape):
        assert table[i, j] == velmar.land_h(float(n[i, 0]), float(s[j]), 0.9)
    # Lists broadcast too; a 0-d input gives a float; an empty one an empty array.
    assert list(velmar.land_h([15, 40], 0.4272)) == [velmar.land_h(15, 0.4272), velmar.land_h(40, 0.4272)]
    assert isinstance(velmar.land_h(np.int64(15), 0.4272), float)
    assert velmar.land_h(np.array([]), 0.5).shape == (0,)
    with pytest.raises(ValueError):
        velmar.land_h(np.ones(3) * 15, np.ones(2))


def test_threads_get_the_results_of_serial_calls():
    # The module lets go of the interpreter lock while it computes.
    cases = [(n, s) for n in (5, 15, 40) for s in (0.2, 1.0, 2.5)]
    serial = [velmar.land_h(n, s) for n, s in cases]
    with concurrent.futures.ThreadPoolExecutor(max_workers=4) as pool:
        assert list(pool.map(lambda c: velmar.land_h(*c), cases)) == serial


def run_python(code, **env):
    environment = dict(os.environ, **env)
    out = subprocess.run([sys.executable, "-c", code], check=True, capture_output=True, text=True,
                         env=environment)
    return out.stdout.split()


def test_scalars_and_sequences_work_without_numpy():
    code = ("import sys; sys.modules['numpy'] = None; import velmar\n"
            "print(repr(velmar.land_h(15, 0.4272)), repr(velmar.lognormal_mean_limits(%r).upper))\n"
            "try:\n    velmar.land_h([15, 20], 0.4272)\nexcept ImportError:\n    print('ImportError')\n"
            % FOUR)
    h, upper, failure = run_python(code)
    assert float(h) == velmar.land_h(15, 0.4272)
    assert float(upper) == velmar.lognormal_mean_limits(FOUR).upper
    assert failure == "ImportError"


def test_results_read_as_python():
    r = velmar.limits(0.5, 1.1, 12, side="two-sided")
    assert repr(r) == ("Limits(mu_hat=0.5, sigma_hat=1.1, nu=12.0, lam=0.5, gamma2=13.0, level=0.95, "
                       "side='two-sided', lower=%r, upper=%r, C_lower=%r, C_upper=%r, outcome='converged')"
                       % (r.lower, r.upper, r.C_lower, r.C_upper))
    q = velmar.lognormal_mean_limits(FOUR)
    assert repr(q) == ("LognormalLimits(n=4, mean_log=%r, sd_log=%r, level=0.95, side='upper', lower=None, "
                       "upper=%r, C_lower=None, C_upper=%r, outcome='converged')"
                       % (q.mean_log, q.sd_log, q.upper, q.C_upper))
    with pytest.raises(AttributeError):
        r.upper = 0.0
    for thing in (velmar, velmar.limits, velmar.lognormal_mean_limits, velmar.land_h, velmar.Limits,
                  velmar.LognormalLimits, velmar.NumericalError, velmar.Limits.upper, velmar.Limits.outcome):
        assert thing.__doc__, thing


def test_installed_module_imports(tmp_path):
    build = os.environ.get("VELMAR_BUILD_DIR")
    if not build:
        pytest.skip("VELMAR_BUILD_DIR names no build folder (run through ctest)")
    subprocess.run([os.environ["CMAKE_COMMAND"], "--install", build, "--prefix", str(tmp_path),
                    "--component", "python"], check=True, capture_output=True)
    site = tmp_path / os.environ["VELMAR_PYTHON_INSTALL_DIR"]
    code = ("import sys; sys.path.insert(0, %r); import velmar\n"
            "print(velmar.__file__, velmar.land_h(15, 0.4272, 0.95), velmar.lognormal_mean_limits(%r).upper)"
            % (str(site), FOUR))
    where, h, upper = run_python(code, PYTHONPATH="")
    assert where.startswith(str(site) + os.sep)
    assert round(float(h), 5) == 1.99370
    assert float(upper) == pytest.approx(11.6, rel=0.03)


def test_install_goes_where_the_interpreter_looks(tmp_path):
    # The package folder under the configured prefix is one that the
    # interpreter searches by itself; DESTDIR moves the whole tree.
    build = os.environ.get("VELMAR_BUILD_DIR")
    if not build:
        pytest.skip("VELMAR_BUILD_DIR names no build folder (run through ctest)")
    prefix, folder = os.environ["VELMAR_INSTALL_PREFIX"], os.environ["VELMAR_PYTHON_INSTALL_DIR"]
    searched = run_python("import sys; print(*sys.path)", PYTHONPATH="")
    assert os.path.join(prefix, folder) in searched
    subprocess.run([os.environ["CMAKE_COMMAND"], "--install", build, "--component", "python"], check=True,
                   capture_output=True, env=dict(os.environ, DESTDIR=str(tmp_path)))
    site = str(tmp_path) + os.path.join(prefix, folder)
    code = "import sys; sys.path.insert(0, %r); import velmar, velmar.tables; print(velmar.__file__)" % site
    assert run_python(code, PYTHONPATH="")[0] == os.path.join(site, "velmar", "__init__.py")
    assert {"_core.pyi", "py.typed", "tables.py"} <= set(os.listdir(os.path.join(site, "velmar")))
