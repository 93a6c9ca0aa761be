"""Peer for the vostrel benchmark: per-column daily and monthly sums and
counts of valid values (valid: value > -998) with pandas.

Usage: python3 peer_pandas.py RESULTS_FILE HEADER_ROWS DAILY_OUT MONTHLY_OUT

The whole file is read with read_csv (C parser; tab separated, or runs of
blanks when the first record has no tab);
values of -998 or less become NaN, then groupby on year, month, day gives the
daily sums and counts (NaN is neither summed nor counted), and the monthly
sums and counts are the daily ones summed per year and month.
"""

import sys

import pandas as pd


def main(argv):
    if len(argv) != 5:
        sys.stderr.write(
            "usage: peer_pandas.py RESULTS_FILE HEADER_ROWS DAILY_OUT MONTHLY_OUT\n")
        return 1
    path, skip, daily_out, monthly_out = argv[1], int(argv[2]), argv[3], argv[4]
    # Tab-separated files use the plain tab parser; others any run of blanks.
    with open(path, "rb") as f:
        for _ in range(skip):
            f.readline()
        first = f.readline()
    sep = "\t" if b"\t" in first else r"\s+"
    df = pd.read_csv(path, sep=sep, header=None, skiprows=skip)
    return run(df, daily_out, monthly_out)


def run(df, daily_out, monthly_out):
    keys = [df[0], df[1], df[2]]
    values = df.iloc[:, 4:]
    values = values.where(values > -998)
    day = values.groupby(keys, sort=False)
    sums, counts = day.sum(), day.count()
    daily = pd.concat([sums, counts], axis=1, keys=["sum", "count"])
    daily.to_csv(daily_out, sep="\t", header=False)
    monthly = daily.groupby(level=[0, 1], sort=False).sum()
    monthly.to_csv(monthly_out, sep="\t", header=False)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
