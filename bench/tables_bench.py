#!/usr/bin/python3
"""Groups per second of velmar's table functions on a Dask cluster of one
worker process and of two (one thread each, on the loopback interface).

    PYTHONPATH=build/python /usr/bin/python3 bench/tables_bench.py [--groups 100000]
        [--values 20] [--simulations 1000] [--function summary|limits] [--partitions 20]

The table: `groups` groups of `values` lognormal values each (a fixed seed).
Each run times the whole computation, the shuffle that gathers every group in
one partition included, and checks that both clusters give the same rows.
Not a test: the figures depend on the machine and its load.
"""

import argparse
import time

import numpy as np
import pandas as pd

import dask.dataframe as dd
import distributed

import velmar


def table(groups, values):
    rng = np.random.default_rng(20261208)
    return pd.DataFrame({
        "site": np.repeat(np.arange(groups), values),
        "conc": np.exp(rng.normal(0.0, 1.0, groups * values)),
    })


def run(frame, workers, args):
    with distributed.LocalCluster(n_workers=workers, threads_per_worker=1, processes=True, host="127.0.0.1",
                                  dashboard_address=None) as cluster, distributed.Client(cluster) as client:
        client.wait_for_workers(workers)
        lazy = dd.from_pandas(frame, npartitions=args.partitions)
        if args.function == "summary":
            lazy = velmar.summary_table(lazy, "conc", by="site", simulations=args.simulations, seed=1)
        else:
            lazy = velmar.limits_table(lazy, "conc", by="site")
        start = time.perf_counter()
        rows = client.compute(lazy).result()
        seconds = time.perf_counter() - start
    return rows.sort_values("site").reset_index(drop=True), seconds


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--groups", type=int, default=100_000)
    parser.add_argument("--values", type=int, default=20)
    parser.add_argument("--simulations", type=int, default=1000)
    parser.add_argument("--function", choices=("summary", "limits"), default="summary")
    parser.add_argument("--partitions", type=int, default=20)
    args = parser.parse_args()
    frame = table(args.groups, args.values)
    what = ("%s_table, %d groups of %d values" % (args.function, args.groups, args.values) +
            (", %d simulations" % args.simulations if args.function == "summary" else ""))
    print(what)
    results = []
    for workers in (1, 2):
        rows, seconds = run(frame, workers, args)
        results.append(rows)
        print("%d worker%s: %8.1f s  %10.1f groups/s" % (workers, "" if workers == 1 else "s", seconds,
                                                            args.groups / seconds), flush=True)
    pd.testing.assert_frame_equal(results[0], results[1])
    print("rows of both runs equal")


if __name__ == "__main__":
    main()
