"""Tests of velmar.limits_table on pandas and Dask DataFrames.

The Dask tests run a LocalCluster of two worker processes on the loopback
interface, started once for the module and closed at its end; every
computation on it is bounded in time.
"""

import math
import os
import subprocess
import sys

import pytest

import velmar

pd = pytest.importorskip("pandas")
np = pytest.importorskip("numpy")

# A small lab table: lead with a missing cell and text values, zinc with two
# values only (no limits: a row saying why), tin in numbers.
LAB = pd.DataFrame({
    "analyte": ["lead"] * 6 + ["zinc"] * 2 + ["tin"] * 5,
    "site": ["north", "south"] * 6 + ["north"],
    "conc": ["0.5", "1.2", "NA", " 3 ", "0.7", "+2.5e0", "2", "4", "1.5", "0.25", "8", "", "3.5"],
}, index=[10 * i for i in range(13)])

COLUMNS = ["n", "n_nd", "skipped", "mean_log", "sd_log", "arithmetic_mean", "mean", "sd", "se", "level",
           "side", "C_lower", "C_upper", "lower", "upper", "status", "method", "version"]


def same(a, b):
    """Equal, with NaN and None both meaning no number."""
    def missing(x):
        return x is None or (isinstance(x, float) and math.isnan(x))
    return a == b or (missing(a) and missing(b))


def test_rows_are_the_limits_of_each_group():
    for side in ("upper", "two-sided"):
        table = velmar.limits_table(LAB, "conc", by="analyte", level=95, side=side)
        assert list(table.columns) == ["analyte"] + COLUMNS
        assert list(table["analyte"]) == ["lead", "tin", "zinc"]
        assert list(table["n"]) == [5, 4, 2] and list(table["skipped"]) == [1, 1, 0]
        for _, row in table.iterrows():
            cells = LAB.loc[LAB["analyte"] == row["analyte"], "conc"].str.strip()
            values = [float(c) for c in cells if c not in ("", "NA")]
            if len(values) < 3:
                assert row["status"] == "2 values, at least 3 are needed" and math.isnan(row["upper"])
                continue
            r = velmar.lognormal_mean_limits(values, level=0.95, side=side)
            expected = dict(r._asdict(), mean=math.nan, sd=math.nan, se=math.nan, n_nd=0, status=r.outcome,
                            method="exact UMAU", version="Velmar " + velmar.__version__)
            for name, value in expected.items():
                if name in COLUMNS:
                    assert same(row[name], math.nan if value is None else value), (name, row[name], value)


def test_groups_of_several_columns_and_of_the_whole_table():
    numbers = LAB.assign(conc=pd.to_numeric(LAB["conc"], errors="coerce"))
    both = velmar.limits_table(numbers, "conc", by=["analyte", "site"], side="lower")
    assert list(zip(both["analyte"], both["site"], both["n"])) == [
        ("lead", "north", 2), ("lead", "south", 3), ("tin", "north", 3), ("tin", "south", 1),
        ("zinc", "north", 1), ("zinc", "south", 1)]
    whole = velmar.limits_table(numbers, "conc")
    assert list(whole.columns) == COLUMNS and len(whole) == 1
    # The text and the number columns give the same table.
    pd.testing.assert_frame_equal(whole, velmar.limits_table(LAB, "conc"))
    assert whole.loc[0, "upper"] == velmar.lognormal_mean_limits(numbers["conc"].dropna()).upper


BAD_TABLES = [
    # (conc cells of analyte "lead" at index 0, 1, 2; the start of the message)
    (["1", "abc", "2"], "group 'lead', row 1, column 'conc': \"abc\" is not a number"),
    (["1", "2", "1_000"], "group 'lead', row 2, column 'conc': \"1_000\" is not a number"),
    (["-0.5", "2", "3"], "group 'lead', row 0, column 'conc': \"-0.5\" is not positive"),
    (["1", "0", "3"], "group 'lead', row 1, column 'conc': \"0\" is not positive"),
    (["1", "2", "inf"], "group 'lead', row 2, column 'conc': \"inf\" is not a finite number"),
    (["1", "2", "1e400"], "group 'lead', row 2, column 'conc': \"1e400\" is beyond the range of doubles"),
    (["1", "2", "1e-400"], "group 'lead', row 2, column 'conc': \"1e-400\" underflows"),
    (["1", "nd", "3"], "group 'lead', row 1, column 'conc': \"nd\" marks a nondetect without its detection limit"),
    ([1.0, -2.0, 3.0], "group 'lead', row 1, column 'conc': -2.0 is not positive"),
    ([1.0, math.inf, 3.0], "group 'lead', row 1, column 'conc': inf is not a finite number"),
    ([1.0, [2.0], 3.0], "group 'lead', row 1, column 'conc': [2.0] is not a number"),
    ([1, 10**400, 3], "group 'lead', row 1, column 'conc': 100000000000000000000000... is beyond the range"),
    ([1, True, 3], "group 'lead', row 1, column 'conc': True is not a number"),
]


@pytest.mark.parametrize("cells, message", BAD_TABLES)
def test_bad_cells_name_group_row_and_column(cells, message):
    frame = pd.DataFrame({"analyte": "lead", "conc": pd.Series(cells, dtype=object)})
    if all(isinstance(c, float) for c in cells):
        frame["conc"] = frame["conc"].astype(float)
    with pytest.raises(ValueError) as raised:
        velmar.limits_table(frame, "conc", by="analyte")
    assert str(raised.value).startswith(message)


SOURCE = os.path.join(os.path.dirname(__file__), "..", "..")


def test_nondetects_give_the_command_lines_rows():
    # The lab example through limits_table, with its column of marks and with
    # the marks written into the values as "<DL", against the command line's
    # CSV of the same file: the same numbers, to the last digit.
    lab = pd.read_csv(os.path.join(SOURCE, "examples", "lab_nondetects.csv"))
    marked = velmar.limits_table(lab, "result", by="analyte", nondetect="qualifier", level=95)
    flags = lab["qualifier"].fillna("").str.upper().isin(["U", "ND", "<"])
    text = lab.assign(result=[("<%r" if f else "%r") % v for v, f in zip(lab["result"], flags)])
    pd.testing.assert_frame_equal(velmar.limits_table(text, "result", by="analyte"), marked)
    cli = pd.read_csv(os.path.join(SOURCE, "tests", "cli", "cases", "lognormal_nondetects_lab_csv",
                                   "expected_stdout"), float_precision="round_trip")
    assert list(marked.columns) == ["analyte"] + list(cli.columns)[1:]
    assert list(marked["analyte"]) == list(cli["group"])
    for name in COLUMNS:
        assert all(same(got, want) for got, want in zip(marked[name], cli[name])), name


def test_summaries_give_the_command_lines_rows():
    # The command line's summary CSV of its lab case: each group seeded by its
    # name, so the simulated coverages agree exactly (a share of 200 samples);
    # the limits to the last digits that the core's changes move.
    case = os.path.join(SOURCE, "tests", "cli", "cases", "summary_lab_csv_columns")
    lab = pd.read_csv(os.path.join(case, "files", "lab.csv"))
    table = velmar.summary_table(lab, "result", by="agent", simulations=200, seed=12)
    cli = pd.read_csv(os.path.join(case, "expected_files", "summary.csv"), float_precision="round_trip",
                      keep_default_na=False, na_values=[""])
    assert list(table.columns) == ["agent"] + list(cli.columns)[1:]
    cli["warnings"] = cli["warnings"].fillna("")
    for name in cli.columns[1:]:
        for got, want in zip(table[name], cli[name]):
            exact = not isinstance(want, float) or math.isnan(want) or name.endswith("_coverage")
            assert same(got, want) if exact else got == pytest.approx(want, rel=1e-12), name


def test_summary_rows_are_the_summaries_of_the_groups():
    frame = pd.DataFrame({"site": ["a"] * 6 + ["b"] * 5 + ["c"] * 2,
                          "conc": [0.4, 1.2, "<0.3", 2.2, 0.9, 3.1, 1.5, 0.8, 2.6, 0.3, 1.1, "NA", ""]})
    table = velmar.summary_table(frame, "conc", by="site", level=90, limit=2.0, simulations=100, seed=7)
    whole = velmar.summary_table(frame, "conc", simulations=100, seed=7)
    for key, row, seed in (("a", table.iloc[0], velmar.group_seed(7, "a")), (None, whole.iloc[0], 7)):
        rows = frame if key is None else frame[frame["site"] == key]
        cells = [str(c) for c in rows["conc"] if c not in ("NA", "")]
        s = velmar.summary([float(c.lstrip("<")) for c in cells], nondetect=[c.startswith("<") for c in cells],
                           level=0.9 if key else 0.95, limit=2.0 if key else None, simulations=100, seed=seed)
        assert (row["n"], row["n_nd"], row["level"]) == (s.n, s.n_nd, s.level) and same(row["limit"], s.limit)
        for u in s.ucl:
            assert same(row["ucl_" + u.method], u.value) and same(row["ucl_" + u.method + "_coverage"],
                                                                  u.simulated_coverage), u.method
        assert row["warnings"] == " ".join(s.warnings)
    # A group whose cells are all missing has a row that says why.
    c = table.iloc[2]
    assert (c["site"], c["n"]) == ("c", 0) and "at least 1" in c["warnings"] and math.isnan(c["mvue_mean"])
    with pytest.raises(ValueError, match="^limit = -1"):
        velmar.summary_table(frame, "conc", limit=-1)
    with pytest.raises(ValueError, match="^simulations = -5"):
        velmar.summary_table(frame, "conc", simulations=-5)


MARK_ERRORS = [
    # (cells, marks, the start of the message)
    (["1", "2", "3"], ["U", "J", ""], "group 'lead', row 1, column 'q': 'J' is not a nondetect mark"),
    (["1", "<2", "3"], ["", "=", ""], "group 'lead', row 1, column 'conc': \"<2\" is a nondetect, but column 'q'"),
    (["1", "<", "3"], ["", "", ""], "group 'lead', row 1, column 'conc': \"<\" is not a number"),
    (["1", "2", "3"], [1, 0, 0], "group 'lead', row 0, column 'q': 1 is not a nondetect mark"),
]


@pytest.mark.parametrize("cells, marks, message", MARK_ERRORS)
def test_bad_marks_name_group_row_and_column(cells, marks, message):
    frame = pd.DataFrame({"analyte": "lead", "conc": cells, "q": marks})
    with pytest.raises(ValueError) as raised:
        velmar.limits_table(frame, "conc", by="analyte", nondetect="q")
    assert str(raised.value).startswith(message)


def test_bad_arguments():
    with pytest.raises(KeyError, match="value = 'mg'"):
        velmar.limits_table(LAB, "mg")
    with pytest.raises(KeyError, match="by = 'lab'"):
        velmar.limits_table(LAB, "conc", by=["analyte", "lab"])
    with pytest.raises(ValueError, match="^level = 100:"):
        velmar.limits_table(LAB, "conc", level=100)
    with pytest.raises(ValueError, match="^side = 'both'"):
        velmar.limits_table(LAB, "conc", side="both")


def test_group_seeds_depend_on_seed_and_key_alone():
    keys = ["lead", ("lead", "north"), 7, 2.5, None, ""]
    # Several columns are named as the command line names them, joined by "/".
    assert velmar.group_seed(11, ("lead", "north")) == velmar.group_seed(11, "lead/north")
    seeds = [velmar.group_seed(11, k) for k in keys]
    assert len(set(seeds)) == len(keys) - 1 and seeds[4] == seeds[5] and all(0 <= s < 2**64 for s in seeds)
    assert velmar.group_seed(12, "lead") != seeds[0]
    # NumPy scalars and 1-tuples are their value; NaN is a missing key.
    assert velmar.group_seed(11, np.int64(7)) == seeds[2] == velmar.group_seed(11, (7,))
    assert velmar.group_seed(11, np.float64(2.5)) == seeds[3]
    assert velmar.group_seed(11, math.nan) == seeds[4]
    # The same in another process, whatever its string hashing.
    code = "import velmar; print(%s)" % ", ".join("velmar.group_seed(11, %r)" % (k,) for k in keys)
    for hash_seed in ("1", "2"):
        out = subprocess.run([sys.executable, "-c", code], check=True, capture_output=True, text=True,
                             env=dict(os.environ, PYTHONHASHSEED=hash_seed)).stdout.split()
        assert [int(s) for s in out] == seeds
    with pytest.raises(TypeError):
        velmar.group_seed(1.5, "lead")
    with pytest.raises(ValueError):
        velmar.group_seed(-1, "lead")


# ---- Dask ---------------------------------------------------------------------

# Seconds that a cluster may take to start and a computation to finish.
DASK_TIMEOUT = 120


@pytest.fixture(scope="module")
def dask_client():
    dd = pytest.importorskip("dask.dataframe")
    distributed = pytest.importorskip("distributed")
    cluster = distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                                       dashboard_address=None, timeout=DASK_TIMEOUT)
    client = distributed.Client(cluster, timeout=DASK_TIMEOUT)
    try:
        yield client, dd
    finally:
        client.close()
        cluster.close()


def computed(client, lazy):
    return client.compute(lazy).result(timeout=DASK_TIMEOUT)


def sorted_rows(table, keys):
    return table.sort_values(keys, kind="stable").reset_index(drop=True) if keys else table.reset_index(drop=True)


def test_dask_rows_equal_the_pandas_rows_whatever_the_partitioning(dask_client):
    client, dd = dask_client
    rng = np.random.default_rng(5)
    frame = pd.DataFrame({"site": np.repeat(np.arange(24) % 5, 6), "analyte": np.repeat(["As", "Pb", "Zn"] * 8, 6),
                          "conc": np.exp(rng.normal(size=144))})
    frame.loc[[3, 50], "conc"] = np.nan
    frame["conc"] = ["NA" if np.isnan(v) else "<%r" % v if i % 5 == 0 else "%r" % v
                     for i, v in enumerate(frame["conc"])]
    frame = frame.sample(frac=1, random_state=1)  # an index out of order
    for by in (["site", "analyte"], "analyte", None):
        expected = velmar.limits_table(frame, "conc", by=by, side="two-sided")
        for partitions in (1, 4, 7):
            lazy = velmar.limits_table(dd.from_pandas(frame, npartitions=partitions, sort=False), "conc", by=by,
                                       side="two-sided")
            assert isinstance(lazy, dd.DataFrame)
            keys = [] if by is None else [by] if isinstance(by, str) else by
            pd.testing.assert_frame_equal(sorted_rows(computed(client, lazy), keys), expected)
    # Summaries: every group's simulations seeded by its key, whatever the partition it lands in.
    expected = velmar.summary_table(frame, "conc", by=["site", "analyte"], simulations=50, seed=3)
    lazy = velmar.summary_table(dd.from_pandas(frame, npartitions=5, sort=False), "conc", by=["site", "analyte"],
                                simulations=50, seed=3)
    pd.testing.assert_frame_equal(sorted_rows(computed(client, lazy), ["site", "analyte"]), expected)


def test_dask_bad_cells_raise_with_group_and_row(dask_client):
    client, dd = dask_client
    frame = LAB.copy()
    frame.loc[100, "conc"] = "n.d."
    lazy = velmar.limits_table(dd.from_pandas(frame, npartitions=3), "conc", by="analyte")
    with pytest.raises(ValueError, match="^group 'tin', row 100, column 'conc': \"n.d.\" is not a number"):
        computed(client, lazy)
