"""Exact confidence limits for theta = mu + lambda sigma^2 of a normal distribution, and
for the mean of a lognormal sample; limits for every group of a pandas or Dask table.

The numerics are compiled (velmar._core); limits_table and summary_table are the
table layer (velmar.tables), which needs pandas, and Dask for Dask frames.
"""

from typing import TYPE_CHECKING

from ._core import (
    AndersonDarling,
    Limits,
    LognormalLimits,
    MethodLimits,
    MethodUpperLimit,
    NumericalError,
    SampleLimits,
    ShapiroWilk,
    Summary,
    __version__,
    land_h,
    limits,
    lognormal_mean_limits,
    mean_limits_by_method,
    summary,
)
from ._core import __doc__ as _core_doc

if TYPE_CHECKING:
    from .tables import group_seed, limits_table, summary_table

__doc__ = _core_doc + "\n\n" + __doc__.split("\n\n", 1)[1]

# The table layer needs NumPy and pandas: imported at its first use, so that
# the rest of the package works without them.
_TABLES = ("group_seed", "limits_table", "summary_table")


def __getattr__(name):
    if name in _TABLES:
        from . import tables

        return getattr(tables, name)
    raise AttributeError("module 'velmar' has no attribute %r" % name)


def __dir__():
    return sorted(list(globals()) + list(_TABLES))


__all__ = [
    "AndersonDarling",
    "Limits",
    "LognormalLimits",
    "MethodLimits",
    "MethodUpperLimit",
    "NumericalError",
    "SampleLimits",
    "ShapiroWilk",
    "Summary",
    "__version__",
    "group_seed",
    "land_h",
    "limits",
    "limits_table",
    "lognormal_mean_limits",
    "mean_limits_by_method",
    "summary",
    "summary_table",
]
