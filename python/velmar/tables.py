"""Limits and summaries for every group of a table: a pandas DataFrame, or a
Dask DataFrame whose partitions a cluster computes.

A table has a column of measurements (numbers, or text: "0.5", "<0.5" for a
nondetect below a detection limit of 0.5, "NA" or an empty cell for a missing
value), optionally columns that split the rows into groups (analyte, site,
...) and a column of nondetect marks. The result has one row per group and
method: the group keys, then the columns of the command line's CSV output.

Every group is computed from its values in the order of the table's rows,
as the command line takes them in the order of a file's lines; a Dask table
numbers its rows before it gathers the groups, so that its rows equal the
pandas result whatever the partitioning. A group's random stream (the
summary's simulations) comes from the seed and the group's key (group_seed),
never from its position.
"""

import math
from typing import TYPE_CHECKING, Any, Hashable, Optional, Sequence, Union

import numpy as np

from . import _core

# The columns of a limits table after the group keys, with their dtypes: those
# of the command line's CSV output.
LIMITS_COLUMNS = [
    ("n", "int64"), ("n_nd", "int64"), ("skipped", "int64"),
    ("mean_log", "float64"), ("sd_log", "float64"), ("arithmetic_mean", "float64"),
    ("mean", "float64"), ("sd", "float64"), ("se", "float64"),
    ("level", "float64"), ("side", "object"),
    ("C_lower", "float64"), ("C_upper", "float64"), ("lower", "float64"), ("upper", "float64"),
    ("status", "object"), ("method", "object"), ("version", "object"),
]

# The methods of the summary's panel of upper limits, in the order of the
# command line's CSV columns (a summary holds those that apply to its data).
SUMMARY_METHODS = _core._summary_methods()

# The columns of a summary table after the group keys: those of the command
# line's CSV, nested fields joined to their parent's name with "_".
SUMMARY_COLUMNS = (
    [("n", "int64"), ("n_nd", "int64"), ("level", "float64")]
    + [(name, "float64") for name in ("arithmetic_mean", "geometric_mean", "geometric_sd", "mvue_mean",
                                      "shapiro_wilk_W", "shapiro_wilk_p", "anderson_darling_A2",
                                      "anderson_darling_p", "ros_ppcc")]
    + [("ucl_" + method + suffix, "float64") for method in SUMMARY_METHODS
       for suffix in ("", "_coverage", "_coverage_se")]
    + [(name, "float64") for name in ("p95", "p95_utl", "limit", "exceedance", "exceedance_ucl", "compliance_p")]
    + [("warnings", "object"), ("version", "object")]
)

_PROGRAM = "Velmar " + _core.__version__

if TYPE_CHECKING:
    import dask.dataframe
    import pandas

    Frame = Union[pandas.DataFrame, dask.dataframe.DataFrame]


def group_seed(seed: int, key: Any) -> int:
    """The seed of a group's random stream, from the table's seed and the group's key.

    key: the group's value, or a tuple of values for several group columns. The
    library's group seed of the key's text: numbers by their shortest round-trip
    text, a missing value as an empty text, the values of several columns joined
    by "/", as the command line names a group (so that a table read from a file
    gives a group the command line's seed). The same in every process and on
    every machine.
    """
    return _core._group_seed(seed, "/".join(_key_text(v) for v in _as_tuple(key)))


def _as_tuple(key):
    return key if isinstance(key, tuple) else (key,)


def _key_text(value):
    if isinstance(value, np.generic):
        value = value.item()
    if _missing(value):
        return ""
    if isinstance(value, float):
        return repr(value)
    return str(value)


def limits_table(df: "Frame", value: Hashable, by: Union[Hashable, Sequence[Hashable], None] = None,
                 nondetect: Optional[Hashable] = None, level: float = 0.95, side: str = "upper") -> "Frame":
    """Limits for the mean of every group of a table, one row per group and method.

    df: a pandas DataFrame, or a dask.dataframe.DataFrame (the result is then a
    lazy Dask DataFrame; .compute() gives the rows of the pandas result, in an
    order that follows the partitions: sort by the group columns to compare).
    value: the column of measurements: numbers, or text ("0.5", "<0.5" for a
    nondetect, "NA" or empty for a missing value). by: a column name or a list
    of them, or None for one group of all rows. nondetect: a column of marks,
    read as the command line reads them: <, ND, U, TRUE, Y, YES (any case, or
    True) for a nondetect, empty, =, D, FALSE, N, NO (or False, or missing)
    for a detect. level: in (0, 1), or a percentage (95 reads as 0.95); side:
    'upper', 'lower', 'two-sided' or 'equal-tailed'.

    Columns: the group columns, then n (values used), n_nd (nondetects among
    them), skipped (missing cells), mean_log, sd_log, arithmetic_mean (exact
    rows), mean, sd, se (Kaplan-Meier rows), level, side, C_lower, C_upper,
    lower, upper (NaN for an absent side), status (the outcome's name, or why
    the row has no limits), method, version. Raises ValueError naming the group
    and the row's index label for a cell that is not a positive finite number
    or a mark that is not one.
    """
    level, side = _core._request(level, side)
    return _table(df, value, by, nondetect, "limits", {"level": level, "side": side})


def summary_table(df: "Frame", value: Hashable, by: Union[Hashable, Sequence[Hashable], None] = None,
                  nondetect: Optional[Hashable] = None, level: float = 0.95, limit: Optional[float] = None,
                  simulations: int = 4000, seed: int = 0) -> "Frame":
    """The summary of every group of a table (velmar.summary), one row per group.

    df, value, by, nondetect as for limits_table; level, limit, simulations and
    seed as for velmar.summary. Each group's seed is group_seed(seed, key) (seed
    itself without by), as the command line seeds a group: its numbers do not
    depend on the other groups or on the partitioning.

    Columns: the group columns, then those of the command line's summary CSV:
    n, n_nd, level, arithmetic_mean, geometric_mean, geometric_sd, mvue_mean,
    shapiro_wilk_W, shapiro_wilk_p, anderson_darling_A2, anderson_darling_p,
    ros_ppcc; for each method of SUMMARY_METHODS ("exact UMAU", "KM-t",
    "KM-Chebyshev", "ROS + exact UMAU", "Student-t", "Chebyshev", "Cox",
    "bootstrap-t") ucl_<method>, ucl_<method>_coverage and
    ucl_<method>_coverage_se (NaN where the method does not apply or has no
    limit); p95, p95_utl, limit, exceedance, exceedance_ucl, compliance_p;
    warnings (the summary's sentences, or why a group has no summary) and
    version. Raises ValueError as limits_table does for a bad cell.
    """
    # The arguments checked once, by the library, before any group is read.
    _core.summary([1.0], level=level, limit=limit, simulations=simulations, seed=seed)
    request = {"level": _core._request(level, "upper")[0], "limit": limit, "simulations": simulations, "seed": seed}
    return _table(df, value, by, nondetect, "summary", request)


def _key_names(by):
    if by is None:
        return []
    names = [by] if isinstance(by, (str, int, float, tuple)) else list(by)
    if not names:
        raise ValueError("by: an empty list of columns; use None for one group of all rows")
    return names


def _check_columns(columns, value, keys, nondetect):
    named = [("value", value)] + [("by", k) for k in keys]
    if nondetect is not None:
        named.append(("nondetect", nondetect))
    for argument, name in named:
        if name not in columns:
            raise KeyError("%s = %r: no such column (the columns: %s)"
                           % (argument, name, ", ".join(repr(c) for c in columns)))


def _is_dask(df):
    return type(df).__module__.split(".")[0] == "dask"


def _table(df, value, by, nondetect, kind, request):
    keys = _key_names(by)
    _check_columns(list(df.columns), value, keys, nondetect)
    used = keys + [value] + ([nondetect] if nondetect is not None and nondetect not in keys else [])
    key_dtypes = [df.dtypes[k] for k in keys]
    if not _is_dask(df):
        return _pandas_table(df, value, keys, nondetect, kind, request, key_dtypes)
    # Every row numbered in the table's order (a cumulative sum: lazy, carried
    # across partitions); every group then gathered in one partition by a
    # shuffle on its key (one partition for a table of one group), where its
    # rows are put back in order and computed as a pandas table.
    frame = df[used].assign(**{_ROW: 1})
    frame[_ROW] = frame[_ROW].cumsum()
    frame = frame.shuffle(on=keys) if keys else frame.repartition(npartitions=1)
    meta = _frame([], keys, key_dtypes, _columns(kind))
    return frame.map_partitions(_ordered_table, value, keys, nondetect, kind, request, key_dtypes,
                                meta=meta, align_dataframes=False)


# The column of row numbers of a Dask table.
_ROW = "__velmar_row__"


def _ordered_table(part, value, keys, nondetect, kind, request, key_dtypes):
    part = part.sort_values(_ROW, kind="stable")
    return _pandas_table(part, value, keys, nondetect, kind, request, key_dtypes)


def _columns(kind):
    return SUMMARY_COLUMNS if kind == "summary" else LIMITS_COLUMNS


def _frame(rows, keys, key_dtypes, columns):
    import pandas

    names = keys + [name for name, _ in columns]
    table = pandas.DataFrame.from_records(rows, columns=names) if rows else pandas.DataFrame(columns=names)
    for name, dtype in zip(keys, key_dtypes):
        table[name] = table[name].astype(dtype)
    for name, dtype in columns:
        table[name] = table[name].astype(dtype)
    return table


def _pandas_table(df, value, keys, nondetect, kind, request, key_dtypes):
    names = [name for name, _ in _columns(kind)]
    rows = []
    if keys:
        groups = df.groupby(keys if len(keys) > 1 else keys[0], sort=True, dropna=False, observed=True)
    else:
        groups = [(None, df)]
    for key, group in groups:
        key_values = list(_as_tuple(key)) if keys else []
        where = "group %r, " % (key,) if keys else ""
        values, flags, skipped = _read_group(group, value, nondetect, where)
        counts = {"n": len(values), "n_nd": int(flags.sum()), "skipped": skipped}
        for row in _group_rows(kind, values, flags, key if keys else _WHOLE_TABLE, request):
            row.update(counts)
            rows.append(key_values + [row.get(name, np.nan) for name in names])
    return _frame(rows, keys, key_dtypes, _columns(kind))


# The numbers of a limits row that come from the library's row by method.
_METHOD_NUMBERS = ("mean_log", "sd_log", "arithmetic_mean", "mean", "sd", "se", "C_lower", "C_upper", "lower",
                   "upper")

# The key of the one group of a table without group columns.
_WHOLE_TABLE = object()


def _group_rows(kind, values, flags, key, request):
    if kind == "summary":
        return [_summary_row(values, flags, key, request)]
    level, side = request["level"], request["side"]
    rows = []
    for method in _core.mean_limits_by_method(values, level, side, nondetect=flags).rows:
        row = {name: np.nan if getattr(method, name) is None else getattr(method, name) for name in _METHOD_NUMBERS}
        row.update(level=level, side=side, status=method.status, method=method.method, version=_PROGRAM)
        rows.append(row)
    return rows


def _summary_row(values, flags, key, request):
    seed = request["seed"] if key is _WHOLE_TABLE else group_seed(request["seed"], key)
    try:
        summary = _core.summary(values, nondetect=flags, level=request["level"], limit=request["limit"],
                                simulations=request["simulations"], seed=seed)
    except ValueError as refusal:  # data that no summary can take (no values)
        return {"n": len(values), "n_nd": int(flags.sum()), "level": request["level"], "warnings": str(refusal),
                "version": _PROGRAM}
    d = summary._asdict()
    row = {name: d[name] for name in ("n", "n_nd", "level", "arithmetic_mean", "geometric_mean", "geometric_sd",
                                      "mvue_mean", "ros_ppcc", "p95", "p95_utl", "limit", "exceedance",
                                      "exceedance_ucl", "compliance_p")}
    for test, statistic in (("shapiro_wilk", "W"), ("anderson_darling", "A2")):
        for field in (statistic, "p"):
            row[test + "_" + field] = d[test][field] if d[test] else None
    for method in d["ucl"]:
        name = "ucl_" + method["method"]
        row.update({name: method["value"], name + "_coverage": method["simulated_coverage"],
                    name + "_coverage_se": method["coverage_se"]})
    row["warnings"] = " ".join(d["warnings"])
    row["version"] = _PROGRAM
    return {name: np.nan if value is None else value for name, value in row.items()}


def _read_group(group, value, nondetect, where):
    """The values of a group (detection limits for nondetects), their nondetect
    flags and the number of missing cells; refuses a cell that is not a positive
    finite number, naming the group, the row's index label and the column."""
    cells = group[value]
    marks = group[nondetect] if nondetect is not None else None
    index = group.index
    if cells.dtype.kind in "iuf" and marks is None:
        numbers = cells.to_numpy(dtype=float)
        missing = np.isnan(numbers)
        bad = ~missing & ~((numbers > 0) & np.isfinite(numbers))
        if bad.any():
            i = int(np.argmax(bad))
            _refuse_number(where, index[i], value, repr(cells.iloc[i]), numbers[i])
        kept = numbers[~missing]
        return kept, np.zeros(len(kept), dtype=bool), int(missing.sum())
    values, flags, skipped = [], [], 0
    for i, cell in enumerate(cells):
        number, marked = _cell(cell, where, index[i], value)
        if number is None:
            skipped += 1
            continue
        if marks is not None:
            mark = _mark(marks.iloc[i], where, index[i], nondetect)
            if marked and not mark:
                raise ValueError('%srow %r, column %r: "%s" is a nondetect, but column %r marks it detected (%r)'
                                 % (where, index[i], value, cell, nondetect, marks.iloc[i]))
            marked = mark
        values.append(number)
        flags.append(marked)
    return np.array(values, dtype=float), np.array(flags, dtype=bool), skipped


def _refuse_number(where, label, column, text, number):
    place = "%srow %r, column %r: %s " % (where, label, column, text)
    if math.isnan(number) or math.isinf(number):
        raise ValueError(place + _CELL_REFUSALS["not_finite"])
    raise ValueError(place + _CELL_REFUSALS["not_positive"])


def _missing(cell):
    return cell is None or (isinstance(cell, float) and math.isnan(cell)) or _is_pandas_missing(cell)


def _is_pandas_missing(cell):
    try:
        import pandas

        return cell is pandas.NA or cell is pandas.NaT
    except ImportError:
        return False


def _cell(cell, where, label, column):
    """(value, nondetect) of one cell; (None, False) for a missing one."""
    if _missing(cell):
        return None, False
    if isinstance(cell, str):
        try:
            read = _core.read_cell(cell)
        except ValueError as refusal:
            raise ValueError('%srow %r, column %r: "%s" %s'
                             % (where, label, column, cell.strip(" \t"), refusal)) from None
        return (None, False) if read is None else read
    if isinstance(cell, (bool, np.bool_)) or not isinstance(cell, (int, float, np.integer, np.floating)):
        raise ValueError("%srow %r, column %r: %r %s" % (where, label, column, cell, _CELL_REFUSALS["not_a_number"]))
    shown = repr(cell) if len(repr(cell)) <= 40 else repr(cell)[:24] + "..."
    try:
        number = float(cell)
    except OverflowError:  # an integer beyond the range of doubles
        raise ValueError("%srow %r, column %r: %s %s"
                         % (where, label, column, shown, _CELL_REFUSALS["overflow"])) from None
    if not (number > 0 and math.isfinite(number)):
        _refuse_number(where, label, column, shown, number)
    return number, False


def _mark(cell, where, label, column):
    """True for a nondetect mark, False for a detect mark; refuses anything else."""
    if _missing(cell):
        return False
    if isinstance(cell, (bool, np.bool_)):
        return bool(cell)
    if isinstance(cell, str):
        try:
            return _core.read_nondetect_mark(cell)
        except ValueError as refusal:
            raise ValueError("%srow %r, column %r: %r %s" % (where, label, column, cell, refusal)) from None
    raise ValueError("%srow %r, column %r: %r %s" % (where, label, column, cell, _MARK_REFUSAL))


# Why a cell of a column of marks that is not text (a number, say) is refused,
# and the refusals of a value cell, as the library words them.
_MARK_REFUSAL = _core._mark_refusal()
_CELL_REFUSALS = _core._cell_refusals()
