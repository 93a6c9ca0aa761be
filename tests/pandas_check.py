#!/usr/bin/env python3
"""Checks vostrel's statistic, yearly and CSV files against pandas.

1. The read recipe of the README and the manual page: the shipped example
   is condensed with --yearly --csv, the CSV files are loaded with a plain
   pd.read_csv and the text files with the documented arguments, and the
   two must hold the same numbers, incomplete values as NaN in both.
2. A computation that is not vostrel's: 20 years of hourly records with
   four columns (a flux, a storage and a temperature with 9 to 10
   significant digits, a runoff with -99 and NA codes, and -999 marks) are
   condensed with --step=hourly --yearly=10 (water years) --mean --min --max
   --missing --csv; pandas groups the same records by day, month and water
   year, and every value the daily, monthly and yearly files and the totals
   line show must be pandas' value to the six digits shown, every -9999
   where pandas finds the period incomplete.

Usage: pandas_check.py VOSTREL EXAMPLE WORKDIR
"""

import calendar
import math
import os
import random
import shutil
import subprocess
import sys

import pandas as pd

HEADER_ROWS = 2
COLUMNS = ["flux", "storage", "temp", "runoff"]
OPTIONS = ["--step=hourly", "--yearly=10", "--mean=2", "--min=3", "--max=4",
           "--missing=-99,NA", "--csv"]
FIRST_YEAR, YEARS = 2001, 20


def read_text(path, header_rows):
    """The text-file recipe: tab-separated lines after the header block, the
    totals line dropped, -9999 read as missing."""
    return pd.read_csv(path, sep="\t", header=None, skiprows=header_rows,
                       skipfooter=1, engine="python", na_values=["-9999"])


def same_frames(text, csv, what):
    if text.shape != csv.shape:
        sys.exit(f"{what}: shapes {text.shape} and {csv.shape} differ")
    a, b = text.to_numpy(dtype=float), csv.to_numpy(dtype=float)
    for i in range(a.shape[0]):
        for j in range(a.shape[1]):
            x, y = a[i, j], b[i, j]
            if not (x == y or (math.isnan(x) and math.isnan(y))):
                sys.exit(f"{what}: row {i + 1} column {j + 1}: {x} != {y}")


def check_recipe(vostrel, example, work):
    shutil.copy(example, os.path.join(work, "run1.out"))
    run(vostrel, ["--yearly", "--csv", "run1.out"], work)
    for text_name in ["run1.tut", "run1.mut", "run1.yut"]:
        csv = pd.read_csv(os.path.join(work, text_name + ".csv"))
        with open(os.path.join(work, text_name), "rb") as f:
            header_rows = f.read().count(b"\n") - len(csv) - 1
        if header_rows != 3:
            sys.exit(f"{text_name}: {len(csv)} CSV rows for its lines")
        # The example's three months close no year.
        if len(csv) > 0:
            text = read_text(os.path.join(work, text_name), header_rows)
            same_frames(text, csv, text_name)
    print("recipe: the CSV and text files agree")


def run(vostrel, args, work):
    result = subprocess.run([vostrel] + args, cwd=work, capture_output=True)
    if result.returncode != 0:
        sys.exit(f"vostrel {' '.join(args)}: status {result.returncode}\n"
                 + result.stdout.decode(errors="replace"))


def field(rng, kind, year, hour, day_of_year):
    """One value: a code, a mark or a number as a model writes it. Marks and
    codes come in every fourth year only, so that the other water years are
    complete (2004 and 2008 among them, of 366 days)."""
    r = rng.random() if year % 4 == 1 else 1.0
    if r < 0.0004:
        return "-999"
    if kind == "flux":
        return "0.0" if rng.random() < 0.4 else f"{rng.uniform(0, 12):.3f}"
    if kind == "storage":
        return f"{150 + 40 * math.sin(day_of_year / 58.0) + rng.random():.6f}"
    if kind == "temp":
        t = 8 - 15 * math.cos(day_of_year / 58.0) + 4 * math.sin(hour / 3.8)
        return f"{t + rng.uniform(-1, 1):.7f}"
    if r < 0.0010:
        return "NA"
    if r < 0.0016:
        return "-99.0"
    return f"{rng.uniform(0.05, 3):.6f}"


def write_results(path):
    rng = random.Random(22)
    with open(path, "w", newline="\n") as f:
        f.write("generated results for the pandas check\n")
        f.write("year month day hour " + " ".join(COLUMNS) + "\n")
        for year in range(FIRST_YEAR, FIRST_YEAR + YEARS):
            day_of_year = 0
            for month in range(1, 13):
                for day in range(1, calendar.monthrange(year, month)[1] + 1):
                    day_of_year += 1
                    for hour in range(1, 25):
                        values = [field(rng, k, year, hour, day_of_year)
                                  for k in COLUMNS]
                        f.write(f"{year}\t{month}\t{day}\t{hour}\t"
                                + "\t".join(values) + "\n")


def expected(path):
    """Per level, {(year, month, day, hour): [value or None]}, and the
    totals."""
    frame = pd.read_csv(path, sep="\t", skiprows=HEADER_ROWS, header=None,
                        names=["year", "month", "day", "hour"] + COLUMNS,
                        na_values=["NA"], keep_default_na=False)
    values = frame[COLUMNS]
    frame[COLUMNS] = values.where((values > -998) & (values != -99))
    frame["water_year"] = frame["year"] + (frame["month"] >= 10)
    stats = {"flux": "sum", "storage": "mean", "temp": "min", "runoff": "max"}

    def level(keys, days_of):
        grouped = frame.groupby(keys)
        counts = grouped[COLUMNS].count()
        shown = pd.DataFrame({c: getattr(grouped[c], s)() for c, s in
                              stats.items()})
        lines = {}
        for key, row in shown.iterrows():
            days = days_of(key)
            lines[key] = [row[c] if counts.loc[key, c] == 24 * days else None
                          for c in COLUMNS]
        return lines

    daily = level(["year", "month", "day"], lambda k: 1)
    monthly = level(["year", "month"],
                    lambda k: calendar.monthrange(k[0], k[1])[1])
    yearly = level(["water_year"],
                   lambda k: 366 if calendar.isleap(k) else 365)
    # Lines carry their closing record's date.
    levels = {
        "tut": {(y, m, d, 24): v for (y, m, d), v in daily.items()},
        "mut": {(y, m, calendar.monthrange(y, m)[1], 24): v
                for (y, m), v in monthly.items()},
        # The last water year never closes.
        "yut": {(y, 9, 30, 24): v for y, v in yearly.items()
                if y < FIRST_YEAR + YEARS},
    }
    totals = [getattr(frame[c], s)() for c, s in stats.items()]
    return levels, totals


def close_to_shown(shown, value):
    """True when `shown`, six significant digits, is `value` rounded."""
    if value == shown or abs(shown - value) < 1e-9:
        return True
    unit = 10.0 ** (math.floor(math.log10(max(abs(value), abs(shown)))) - 5)
    return abs(shown - value) <= 0.5 * unit * (1 + 1e-9)


def compare(name, lines, want):
    if sorted(lines) != sorted(want):
        sys.exit(f"{name}: dates differ from pandas' periods")
    for key, shown in lines.items():
        for column, (s, w) in enumerate(zip(shown, want[key])):
            ok = s == -9999 if w is None else close_to_shown(s, w)
            if not ok:
                sys.exit(f"{name} {key} column {column + 1}: "
                         f"shows {s}, pandas {w}")


def text_lines(path):
    """The lines after the header block, the totals line separate."""
    with open(path, "rb") as f:
        rows = f.read().decode().split("\r\n")[HEADER_ROWS:-1]
    parsed = [[float(x) for x in row.split("\t")] for row in rows]
    lines = {tuple(int(x) for x in r[:4]): r[4:] for r in parsed[:-1]}
    return lines, parsed[-1][4:]


def check_against_pandas(vostrel, work):
    path = os.path.join(work, "gen.out")
    write_results(path)
    run(vostrel, OPTIONS + ["gen.out"], work)
    levels, totals = expected(path)
    for ext, want in levels.items():
        lines, shown_totals = text_lines(os.path.join(work, "gen." + ext))
        compare("gen." + ext, lines, want)
        compare("gen." + ext + " totals", {0: shown_totals}, {0: totals})
        # The CSV file holds the same numbers, -9999 as an empty field.
        csv = pd.read_csv(os.path.join(work, "gen." + ext + ".csv"))
        text = read_text(os.path.join(work, "gen." + ext), HEADER_ROWS)
        same_frames(text, csv, "gen." + ext + ".csv")
        print(f"gen.{ext}: {len(lines)} lines agree with pandas")


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    vostrel, example, work = (os.path.abspath(a) for a in sys.argv[1:])
    os.makedirs(work, exist_ok=True)
    check_recipe(vostrel, example, work)
    check_against_pandas(vostrel, work)


if __name__ == "__main__":
    main()
