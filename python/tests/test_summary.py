"""Tests of velmar.summary as a Python user meets it.

The statistics themselves are checked against R in the C++ tests; here: the
shape of the result, its agreement with the module's own exact limit, the
nondetect flags, the seed, and the refusals.
"""

import math

import pytest

import velmar

FOUR = [0.043, 0.236, 0.057, 0.016]
# Twelve measurements, three of them nondetects at 0.1 or 0.2.
VALUES = [0.31, 0.1, 0.52, 0.2, 1.4, 0.27, 0.1, 0.83, 0.45, 2.1, 0.66, 0.38]
FLAGS = [False, True, False, True, False, False, True, False, False, False, False, False]


def test_four_values_keys_and_exact_limit():
    s = velmar.summary(FOUR, simulations=200)
    d = s._asdict()
    assert list(d)[:4] == ["n", "n_nd", "level", "arithmetic_mean"]
    assert (s.n, s.n_nd, s.level) == (4, 0, 0.95)
    assert s.anderson_darling is None  # needs 8 values
    assert 0 < s.shapiro_wilk.p < 1 and d["shapiro_wilk"]["W"] == s.shapiro_wilk.W
    methods = [u.method for u in s.ucl]
    assert methods == ["exact UMAU", "Student-t", "Chebyshev", "Cox", "bootstrap-t"]
    exact = velmar.lognormal_mean_limits(FOUR, level=0.95).upper
    assert s.ucl[0].value == exact
    assert s.ucl[-1].simulated_coverage is None
    assert s.geometric_mean == pytest.approx(math.exp(-2.89759), rel=1e-5)
    assert any("fewer than 5" in w for w in s.warnings)
    assert any("more than 10 times the largest value" in w for w in s.warnings)


def test_limit_gives_exceedance_and_a_consistent_compliance_p():
    s = velmar.summary(VALUES, limit=1.0, simulations=0)
    assert s.limit == 1.0 and 0 < s.exceedance < s.exceedance_ucl < 1
    # The exact upper limit at level 1 - p lands on the limit itself.
    at = velmar.lognormal_mean_limits(VALUES, level=1 - s.compliance_p).upper
    assert at == pytest.approx(1.0, rel=1e-6)
    assert all(u.simulated_coverage is None for u in s.ucl)


def test_nondetects_change_the_methods():
    s = velmar.summary(VALUES, nondetect=FLAGS, simulations=200, seed=5)
    assert s.n_nd == 3 and s.shapiro_wilk is None and 0.8 < s.ros_ppcc <= 1
    assert [u.method for u in s.ucl][:3] == ["KM-t", "KM-Chebyshev", "ROS + exact UMAU"]
    plot = s._asdict()["probability_plot"]
    assert [p["nondetect"] for p in plot] == FLAGS
    assert all(p["fitted"] == p["value"] for p in plot if not p["nondetect"])
    assert all(0 < p["plotting_position"] < 1 for p in plot)


def test_seed_repeats_and_changes_the_simulation():
    a = velmar.summary(VALUES, simulations=300, seed=1)
    b = velmar.summary(VALUES, simulations=300, seed=1)
    c = velmar.summary(VALUES, simulations=300, seed=2)
    assert a._asdict() == b._asdict()
    assert a._asdict() != c._asdict()


@pytest.mark.parametrize(
    "kwargs, error, message",
    [
        (dict(values=[]), ValueError, "at least 1"),
        (dict(values=[1.0, -2.0]), ValueError, "-2"),
        (dict(values=FOUR, level=100), ValueError, "level = 100"),
        (dict(values=FOUR, limit=0.0), ValueError, "limit = 0"),
        (dict(values=FOUR, simulations=-1), ValueError, "simulations = -1"),
        (dict(values=FOUR, nondetect=[True]), ValueError, "1 flag for 4 values"),
        (dict(values="1 2 3"), TypeError, "string"),
    ],
)
def test_refusals(kwargs, error, message):
    with pytest.raises(error, match=message.replace("+", r"\+")):
        velmar.summary(**kwargs)
