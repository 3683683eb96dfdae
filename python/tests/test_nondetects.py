"""Nondetects in the Python module: nondetect= on the functions that take
values, the rows of mean_limits_by_method against the reference values of
the C++ tests (tests/library/nondetects/data, from R's survival package), and
the refusals."""

import math
import os

import pytest

import velmar

DATA = os.path.join(os.path.dirname(__file__), "..", "..", "tests", "library", "nondetects", "data")


def samples():
    """(values, nondetect flags) of samples.txt, in the numbering of the reference tables."""
    out = []
    with open(os.path.join(DATA, "samples.txt")) as f:
        for line in f:
            if line.startswith("#") or not line.strip():
                continue
            cells = line.split(":", 1)[1].split()
            out.append(([float(c.lstrip("<")) for c in cells], [c.startswith("<") for c in cells]))
    return out


def test_kaplan_meier_rows_match_the_survival_package():
    all_samples = samples()
    with open(os.path.join(DATA, "km_reference.txt")) as f:
        reference = [list(map(float, l.split())) for l in f if not l.startswith("#")]
    assert len(reference) == len(all_samples)
    for row in reference:
        values, flags = all_samples[int(row[0]) - 1]
        s = velmar.mean_limits_by_method(values, 0.95, nondetect=flags)
        assert (s.n, s.n_nd, s.uninformative) == (row[1], row[3], row[4])
        if s.n_nd == 0:
            assert [r.method for r in s.rows] == ["exact UMAU"]
            continue
        t, chebyshev, ros = s.rows
        assert (t.method, chebyshev.method, ros.method) == ("KM-t", "KM-Chebyshev", "ROS + exact UMAU")
        got = [t.mean, t.sd, t.se, t.upper, chebyshev.upper]
        want = [row[5], row[6], row[7], row[8], row[12]]
        for g, w in zip(got, want):
            assert g == pytest.approx(w, rel=1e-12, abs=0)
        lower = velmar.mean_limits_by_method(values, 0.90, "lower", nondetect=flags)
        assert [r.method for r in lower.rows] == ["KM-t", "ROS + exact UMAU"]
        assert lower.rows[0].lower == pytest.approx(row[9], rel=1e-12, abs=0)


def test_lognormal_mean_limits_with_nondetects_is_the_ros_row():
    values, flags = [5.5, 4.1, 12.0, 0.5], [False, False, False, True]
    r = velmar.lognormal_mean_limits(values, 0.95, "two-sided", nondetect=flags)
    ros = velmar.mean_limits_by_method(values, 0.95, "two-sided", nondetect=flags).rows[-1]
    assert (r.n, r.n_nd, r.method, r.lower, r.upper, r.mean_log) == (
        4, 1, "ROS + exact UMAU", ros.lower, ros.upper, ros.mean_log)
    assert ros.approximate and "method='ROS + exact UMAU'" in repr(r)
    plain = velmar.lognormal_mean_limits(values, 0.95)
    unflagged = velmar.lognormal_mean_limits(values, 0.95, nondetect=[False] * 4)
    assert (unflagged.upper, unflagged.method, unflagged.n_nd) == (plain.upper, "exact UMAU", 0)


def test_guard_rails_are_rows_or_value_errors():
    two_detects = ([2.0, 3.0, 1.0, 1.0], [False, False, True, True])
    s = velmar.mean_limits_by_method(*two_detects[:1], nondetect=two_detects[1])
    assert [(r.method, r.status, r.failed, r.upper) for r in s.rows] == [
        ("", "2 detects, at least 3 are needed", True, None)]
    with pytest.raises(ValueError, match="values: 2 detects, at least 3 are needed"):
        velmar.lognormal_mean_limits(two_detects[0], nondetect=two_detects[1])

    mostly = [1.0, 2.0, 3.0] + [0.5] * 13
    flags = [False] * 3 + [True] * 13
    t, chebyshev, ros = velmar.mean_limits_by_method(mostly, nondetect=flags).rows
    assert not t.failed and math.isfinite(t.upper) and ros.failed and ros.upper is None
    assert ros.status.startswith("more than 80% nondetects (13 of 16)")


@pytest.mark.parametrize("flags, exception, message", [
    ([1, 0, 0, 0], TypeError, r"nondetect\[0\] = 1: not a bool"),
    ("UUUU", TypeError, "nondetect must be a sequence of bools, got str"),
    ([True], ValueError, "nondetect: 1 flag for 4 values"),
    ([False] * 5, ValueError, "nondetect: 5 flags for 4 values"),
])
def test_bad_flags_are_refused(flags, exception, message):
    for function in (velmar.lognormal_mean_limits, velmar.mean_limits_by_method):
        with pytest.raises(exception, match=message):
            function([5.5, 4.1, 12.0, 0.5], nondetect=flags)


def test_numpy_flags():
    np = pytest.importorskip("numpy")
    values, flags = np.array([5.5, 4.1, 12.0, 0.5]), np.array([False, False, False, True])
    assert velmar.mean_limits_by_method(values, nondetect=flags).rows[0].upper == \
        velmar.mean_limits_by_method(list(values), nondetect=list(flags)).rows[0].upper


def test_cells_and_marks_are_read_as_the_command_line_reads_them():
    read = velmar._core.read_cell
    assert read(" <0.5\t") == (0.5, True) and read("2e1") == (20.0, False)
    assert read("") is None and read("NA") is None
    assert read("<0,25", decimal_comma=True) == (0.25, True)
    for text, decimal_comma, reason in (("0,5", False, "is not a number"), ("0.5", True, "has a point"),
                                        ("ND", False, "marks a nondetect without its detection limit"),
                                        ("<0", False, "is not positive")):
        with pytest.raises(ValueError, match="^" + reason):
            read(text, decimal_comma=decimal_comma)
    assert [velmar._core.read_nondetect_mark(m) for m in ("nd", " Yes", "", "=", "false")] == [
        True, True, False, False, False]
    with pytest.raises(ValueError, match=r"^is not a nondetect mark \(<, ND, U, TRUE, Y, YES\)"):
        velmar._core.read_nondetect_mark("J")
