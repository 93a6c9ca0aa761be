#!/usr/bin/env python3
"""Throughput benchmark of vostrel against a bare parse-and-sum lower bound
and three peers (mawk, GNU datamash, pandas) that compute the same per-column
daily and monthly sums and counts, optionally next to an earlier vostrel
binary (--baseline).

Standard library only. Typical use, from the repository root after a release
build with the benchmark programs:

    python3 bench/run_bench.py --vostrel build/release/vostrel \\
        --bin-dir build/release/bench

Input files (an hourly and a daily one of generated values, the same two
with values shaped like a catchment model's, with --large also one of about
1 GB)
are generated with gen_results into a fresh temporary directory, which is
removed at the end. The programs run round-robin (one run of each per
round, the order rotated every round), so drifts of the machine hit all of them
alike. Wall time is taken around each child, peak RSS is ru_maxrss from
wait4 (through GNU time where it is installed, see run_once); for the datamash
pipeline the peak RSS is that of its largest process.
"""

import argparse
import calendar
import os
import platform
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
PROGRAMS = ["vostrel", "baseline", "bare", "mawk", "datamash", "pandas"]
HEADER_ROWS = 3

# name -> (data columns, other gen_results arguments)
DATASETS = {
    "quick": (20, ["--years", "2", "--seed", "42"]),
    "medium": (20, ["--years", "30", "--seed", "42"]),
    "daily": (200, ["--daily", "--years", "100", "--seed", "42"]),
    # The same shapes with values like a catchment model's output.
    "real-hourly": (20, ["--realistic", "--years", "30", "--seed", "42"]),
    "real-daily": (200, ["--realistic", "--daily", "--years", "100",
                         "--seed", "42"]),
    "large": (20, ["--target-bytes", "1000000000", "--seed", "43"]),
    "1mb": (20, ["--target-bytes", "1000000", "--seed", "44"]),
}


def die(msg):
    sys.stderr.write(f"run_bench: {msg}\n")
    sys.exit(1)


def find_exe(path):
    """Returns an absolute path for an executable file or a command name."""
    if path is None:
        return None
    p = Path(path)
    if p.is_file() and os.access(p, os.X_OK):
        return str(p.resolve())
    return shutil.which(str(path))


def pandas_python(candidate):
    """The Python interpreter that has pandas, or None."""
    for py in [candidate, "/usr/bin/python3", sys.executable]:
        if not py or not Path(py).is_file():
            continue
        r = subprocess.run([py, "-c", "import pandas"],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if r.returncode == 0:
            return py
    return None


class Job:
    """One program to time: a command line run in a working directory."""

    def __init__(self, name, argv, cwd):
        self.name = name
        self.argv = argv
        self.cwd = cwd
        self.times = []
        self.rss_kib = []
        self.failed = None


def child_env():
    env = dict(os.environ)
    env["LC_ALL"] = "C"  # same number syntax for every tool
    return env


# os.wait4 on a child that Python forked reports at least the harness's own
# resident size: Linux carries the peak RSS of the forked image over the
# exec. GNU time forks the program from a process of about 1 MiB and reports
# the ru_maxrss of its own wait4 on it, so when it is there it gives the
# program's true peak.
GNU_TIME = "/usr/bin/time" if os.access("/usr/bin/time", os.X_OK) else None


def run_once(argv, cwd, errfile):
    """Runs argv; returns (exit code, wall seconds, peak RSS in KiB)."""
    rssfile = Path(str(errfile) + ".rss")
    if GNU_TIME:
        argv = [GNU_TIME, "-f", "%M", "-o", str(rssfile), "--"] + argv
    # Both streams go to one file, shown when the program fails (vostrel
    # reports its errors on standard output).
    with open(errfile, "wb") as err:
        t0 = time.perf_counter()
        proc = subprocess.Popen(argv, cwd=cwd, stdin=subprocess.DEVNULL,
                                stdout=err, stderr=subprocess.STDOUT,
                                env=child_env())
        _, status, usage = os.wait4(proc.pid, 0)
        wall = time.perf_counter() - t0
    proc.returncode = os.waitstatus_to_exitcode(status)
    rss = usage.ru_maxrss
    if GNU_TIME:
        try:
            rss = int(rssfile.read_text().split()[-1])
        except (OSError, ValueError, IndexError):
            pass
    return proc.returncode, wall, rss


def generate(gen, dataset, path):
    columns, args = DATASETS[dataset]
    argv = [gen, "--columns", str(columns), "-o", str(path)] + args
    t0 = time.perf_counter()
    r = subprocess.run(argv)
    if r.returncode != 0:
        die(f"gen_results failed ({r.returncode}): {' '.join(argv)}")
    size = path.stat().st_size
    print(f"generated {path.name}: {size / 1e6:.1f} MB "
          f"({' '.join(args)}, {columns} columns) "
          f"in {time.perf_counter() - t0:.1f} s", flush=True)
    return size


def make_jobs(selected, tools, data, columns, tmp, vostrel_options=()):
    """Builds the command lines for one input file in the temp dir."""
    stem = data.stem
    jobs = []
    for name in selected:
        cwd = tmp
        if name in ("vostrel", "baseline"):
            # Relative name, run inside the temp dir: the daily and monthly
            # files land next to the input. The baseline runs in a directory
            # of its own, on a link to the same file.
            if name == "baseline":
                cwd = tmp / "baseline"
                cwd.mkdir(exist_ok=True)
                link = cwd / data.name
                if not link.exists():
                    link.symlink_to(data)
            options = list(vostrel_options) if name == "vostrel" else []
            argv = [tools[name], *options, data.name, str(HEADER_ROWS),
                    str(columns)]
        elif name == "bare":
            argv = [tools["bare"], str(data), str(HEADER_ROWS)]
        elif name == "mawk":
            argv = [tools["mawk"], "-v", f"skip={HEADER_ROWS}",
                    "-v", f"daily={tmp / (stem + '.mawk.day')}",
                    "-v", f"monthly={tmp / (stem + '.mawk.mon')}",
                    "-f", str(HERE / "peer_mawk.awk"), str(data)]
        elif name == "datamash":
            argv = [tools["sh"], str(HERE / "peer_datamash.sh"), str(data),
                    str(HEADER_ROWS), str(columns),
                    str(tmp / (stem + ".datamash.day")),
                    str(tmp / (stem + ".datamash.mon"))]
        elif name == "pandas":
            argv = [tools["pandas"], str(HERE / "peer_pandas.py"), str(data),
                    str(HEADER_ROWS), str(tmp / (stem + ".pandas.day")),
                    str(tmp / (stem + ".pandas.mon"))]
        else:
            raise AssertionError(name)
        jobs.append(Job(name, argv, str(cwd)))
    return jobs


def bench_file(jobs, size, runs, warmup, tmp):
    rounds = warmup + runs
    for r in range(rounds):
        label = "warm-up" if r < warmup else f"run {r - warmup + 1}/{runs}"
        print(f"  round {r + 1}/{rounds} ({label}):", end="", flush=True)
        shift = r % len(jobs)
        for job in jobs[shift:] + jobs[:shift]:
            if job.failed:
                continue
            errfile = tmp / f"{job.name}.log"
            code, wall, rss = run_once(job.argv, job.cwd, errfile)
            if code != 0:
                msg = errfile.read_text(errors="replace").strip()[-500:]
                job.failed = f"exit status {code}: {msg}"
                print(f" {job.name}=FAILED", end="", flush=True)
                continue
            print(f" {job.name}={wall:.2f}s", end="", flush=True)
            if r >= warmup:
                job.times.append(wall)
                job.rss_kib.append(rss)
        print(flush=True)
    report(jobs, size)


def report(jobs, size):
    ref_name = "bare" if any(j.name == "bare" for j in jobs) else "vostrel"
    ref = next((j for j in jobs if j.name == ref_name and not j.failed
                and j.times), None)
    rows = [("program", "median s", "min s", "MB/s", "peak RSS MiB",
             f"x {ref_name}")]
    for job in jobs:
        if job.failed or not job.times:
            rows.append((job.name, "failed", "", "", "", ""))
            continue
        med = statistics.median(job.times)
        ratio = "-"
        if ref is not None and len(ref.times) == len(job.times):
            ratio = "%.2f" % statistics.median(
                t / v for t, v in zip(job.times, ref.times))
        rows.append((job.name, "%.3f" % med, "%.3f" % min(job.times),
                     "%.1f" % (size / 1e6 / med),
                     "%.1f" % (max(job.rss_kib) / 1024.0), ratio))
    widths = [max(len(r[i]) for r in rows) for i in range(len(rows[0]))]
    print()
    for i, row in enumerate(rows):
        cells = [row[0].ljust(widths[0])]
        cells += [c.rjust(w) for c, w in zip(row[1:], widths[1:])]
        print("  " + "  ".join(cells))
        if i == 0:
            print("  " + "  ".join("-" * w for w in widths))
    print(f"  (MB = 10^6 bytes; ratio = median over rounds of time / "
          f"{ref_name}'s time in the same round)")
    for job in jobs:
        if job.failed:
            print(f"  {job.name} failed: {job.failed}")
    print(flush=True)


def read_peer(path):
    """Daily or monthly lines of a peer: key, then sums, then counts."""
    rows = []
    with open(path) as f:
        for line in f:
            fields = line.split()
            if not fields:
                continue
            # Daily lines have 3 key fields (odd length), monthly ones 2.
            nkey = 3 if len(fields) % 2 else 2
            n = (len(fields) - nkey) // 2
            key = tuple(int(float(x)) for x in fields[:nkey])
            sums = [float(x) for x in fields[nkey:nkey + n]]
            counts = [int(float(x)) for x in fields[nkey + n:]]
            rows.append((key, sums, counts))
    return rows


def read_vostrel(path):
    """Record lines of a vostrel output file: (year, month, day), values."""
    with open(path, "rb") as f:
        lines = f.read().decode("latin-1").split("\r\n")
    rows = []
    for line in lines[HEADER_ROWS:]:
        fields = line.split("\t")
        if len(fields) < 4:
            continue
        rows.append((tuple(int(x) for x in fields[:3]),
                     [float(x) for x in fields[4:]]))
    return rows[:-1]  # the last line holds the totals


def close(a, b):
    return abs(a - b) <= 1e-5 * max(abs(a), abs(b)) + 1e-9


def check_vostrel(tmp, stem):
    """Compares vostrel's daily and monthly files with a peer's sums and
    counts: a complete day or month must show the peer's sum, any other
    -9999. Returns True when they agree."""
    peer = next((p for p in ["mawk", "datamash", "pandas"]
                 if (tmp / f"{stem}.{p}.day").exists()), None)
    if peer is None or not (tmp / f"{stem}.tut").exists():
        return True
    peer_days = read_peer(tmp / f"{stem}.{peer}.day")
    days_in = {}
    for key, _, _ in peer_days:
        days_in[key[:2]] = days_in.get(key[:2], 0) + 1
    # vostrel closes a month only at its last day, so a month that the file
    # leaves unfinished (the end of a --target-bytes file) has no line there.
    seen = {key for key, _, _ in peer_days}
    peer_months = [m for m in read_peer(tmp / f"{stem}.{peer}.mon")
                   if m[0] + (calendar.monthrange(*m[0])[1],) in seen]
    bad = []
    for what, mine, theirs in [
            ("daily", read_vostrel(tmp / f"{stem}.tut"), peer_days),
            ("monthly", read_vostrel(tmp / f"{stem}.mut"), peer_months)]:
        if len(mine) != len(theirs):
            bad.append(f"{what}: {len(mine)} lines, {peer} has {len(theirs)}")
            continue
        for (date, values), (key, sums, counts) in zip(mine, theirs):
            full = [1, 24] if what == "daily" else [days_in[key],
                                                    24 * days_in[key]]
            if date[:len(key)] != key or len(values) != len(sums):
                bad.append(f"{what}: line for {date} against {key}")
                break
            for c, (v, s, n) in enumerate(zip(values, sums, counts)):
                want = s if n in full else -9999.0
                if not close(v, want):
                    bad.append(f"{what} {date} column {c + 1}: {v} "
                               f"instead of {want}")
                    break
            if len(bad) > 5:
                break
    if bad:
        print(f"  CHECK FAILED: vostrel's sums differ from {peer}'s:")
        for b in bad[:6]:
            print(f"    {b}")
        return False
    print(f"  check: vostrel's {len(peer_days)} daily and "
          f"{len(peer_months)} monthly lines agree with {peer}'s sums")
    return True


def rss_check(tools, gen, tmp):
    print("peak RSS of vostrel on a small and a large input:")
    results = []
    for dataset in ["1mb", "large"]:
        data = tmp / f"{dataset}.out"
        size = generate(gen, dataset, data)
        code, wall, rss = run_once(
            [tools["vostrel"], data.name, str(HEADER_ROWS),
             str(DATASETS[dataset][0])],
            str(tmp), tmp / "vostrel.log")
        if code != 0:
            die(f"vostrel failed on {data.name} with exit status {code}")
        results.append((dataset, size, wall, rss))
        data.unlink()
    for dataset, size, wall, rss in results:
        print(f"  {dataset:6s} {size / 1e6:9.1f} MB  {wall:7.2f} s  "
              f"peak RSS {rss / 1024.0:.1f} MiB")
    print(f"  difference: {(results[1][3] - results[0][3]) / 1024.0:.1f} MiB")


def same_outputs(tmp, stem):
    """True when the baseline wrote the same daily and monthly files as
    vostrel, byte for byte."""
    for ext in (".tut", ".mut"):
        mine, theirs = tmp / (stem + ext), tmp / "baseline" / (stem + ext)
        if not (mine.exists() and theirs.exists()
                and mine.read_bytes() == theirs.read_bytes()):
            print(f"  CHECK FAILED: {stem}{ext} of vostrel and of the "
                  f"baseline differ")
            return False
    print("  check: vostrel's and the baseline's daily and monthly files "
          "are identical")
    return True


def fast_share(record_paths, data, columns):
    """The share of records that the record fast path read, as reported by
    bench/record_paths with the tool's own path; None without it."""
    if record_paths is None:
        return None
    r = subprocess.run([record_paths, str(data), str(HEADER_ROWS),
                        str(columns), "1", "default"],
                       capture_output=True, text=True)
    fields = r.stdout.split()
    if r.returncode != 0 or len(fields) < 7:
        return None
    return (f"{fields[6]}% of {int(fields[2]) + int(fields[4])} records "
            f"(path {fields[0]})")


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--vostrel", help="path of the vostrel binary (release "
                    "build)")
    ap.add_argument("--bin-dir", help="directory with the built gen_results "
                    "and bare_sum")
    ap.add_argument("--gen-results", help="path of gen_results (overrides "
                    "--bin-dir)")
    ap.add_argument("--bare-sum", help="path of bare_sum (overrides --bin-dir)")
    ap.add_argument("--baseline", help="another vostrel binary (say, built "
                    "from an earlier commit) to time side by side; its "
                    "files must equal vostrel's")
    ap.add_argument("--vostrel-options", default="",
                    help="options for the vostrel binary only, as one "
                    "string split at blanks (say, \"--quiet --strict "
                    "--summary=s.json\"), to time them against --baseline "
                    "without options")
    ap.add_argument("--python", default="/usr/bin/python3",
                    help="Python with pandas for the pandas peer "
                    "(default: %(default)s)")
    ap.add_argument("--large", action="store_true",
                    help="also benchmark a file of about 1 GB")
    ap.add_argument("--quick", action="store_true",
                    help="smoke run on a small file only (2 years)")
    ap.add_argument("--rss-check", action="store_true",
                    help="only run vostrel on a 1 MB and a 1 GB file and "
                    "print both peak RSS values")
    ap.add_argument("--only", help="comma-separated subset of: "
                    + ",".join(PROGRAMS))
    ap.add_argument("--files", help="comma-separated subset of the files: "
                    + ",".join(d for d in DATASETS if d != "1mb"))
    ap.add_argument("--runs", type=int, help="timed rounds (default 5, "
                    "--quick: 2)")
    ap.add_argument("--warmup", type=int, help="untimed rounds first "
                    "(default 1, --quick: 0)")
    ap.add_argument("--tmp-dir", help="parent of the temporary directory "
                    "(default: the system's)")
    args = ap.parse_args()

    runs = args.runs if args.runs is not None else (2 if args.quick else 5)
    warmup = args.warmup if args.warmup is not None else (
        0 if args.quick else 1)
    if runs < 1 or warmup < 0:
        die("--runs must be at least 1 and --warmup at least 0")

    selected = PROGRAMS
    if args.only:
        selected = [s.strip() for s in args.only.split(",") if s.strip()]
        unknown = [s for s in selected if s not in PROGRAMS]
        if unknown:
            die(f"unknown program(s) in --only: {', '.join(unknown)}; "
                f"choose from {','.join(PROGRAMS)}")
    if args.rss_check:
        selected = ["vostrel"]
    if not args.baseline:
        selected = [s for s in selected if s != "baseline"]

    bin_dir = Path(args.bin_dir) if args.bin_dir else None
    gen = find_exe(args.gen_results or (bin_dir and bin_dir / "gen_results"))
    if gen is None:
        die("gen_results not found: give --bin-dir or --gen-results")

    tools = {}
    for name in selected:
        if name == "vostrel":
            tools[name] = find_exe(args.vostrel)
            if tools[name] is None:
                die("vostrel binary not found: give --vostrel (or leave it "
                    "out with --only)")
        elif name == "baseline":
            tools[name] = find_exe(args.baseline)
            if tools[name] is None:
                die(f"baseline binary not found: {args.baseline}")
        elif name == "bare":
            tools[name] = find_exe(args.bare_sum
                                   or (bin_dir and bin_dir / "bare_sum"))
            if tools[name] is None:
                die("bare_sum not found: give --bin-dir or --bare-sum")
        elif name == "mawk":
            tools[name] = find_exe("mawk")
        elif name == "datamash":
            dm, mk, sh = find_exe("datamash"), find_exe("mawk"), find_exe("sh")
            tools[name] = dm if (dm and mk and sh) else None
            tools["sh"] = sh
        elif name == "pandas":
            tools[name] = pandas_python(args.python)
    for name in list(selected):
        if tools.get(name) is None:
            print(f"skipping {name}: its program is not installed")
    selected = [n for n in selected if tools.get(n)]
    if not selected:
        die("nothing to run")
    record_paths = find_exe(bin_dir and bin_dir / "record_paths")

    status = 0
    tmp = Path(tempfile.mkdtemp(prefix="vostrel-bench-", dir=args.tmp_dir))
    try:
        cpu = ""
        try:
            for line in open("/proc/cpuinfo"):
                if line.startswith("model name"):
                    cpu = line.split(":", 1)[1].strip()
                    break
        except OSError:
            pass
        print(f"machine: {platform.machine()}, {os.cpu_count()} CPUs, {cpu}")
        print(f"temporary directory: {tmp}")
        if not GNU_TIME:
            print("note: /usr/bin/time missing; peak RSS values include the "
                  "harness's own size (about 15 MiB)")
        if args.rss_check:
            rss_check(tools, gen, tmp)
            return 0
        datasets = ["quick"] if args.quick else (
            ["medium", "daily", "real-hourly", "real-daily"]
            + (["large"] if args.large else []))
        if args.files:
            datasets = [d.strip() for d in args.files.split(",") if d.strip()]
            unknown = [d for d in datasets if d not in DATASETS]
            if unknown:
                die(f"unknown file(s) in --files: {', '.join(unknown)}")
        print(f"programs: {', '.join(selected)}; {warmup} warm-up and "
              f"{runs} timed rounds per file\n")
        for dataset in datasets:
            data = tmp / f"{dataset}.out"
            size = generate(gen, dataset, data)
            columns = DATASETS[dataset][0]
            jobs = make_jobs(selected, tools, data, columns, tmp,
                             args.vostrel_options.split())
            bench_file(jobs, size, runs, warmup, tmp)
            share = fast_share(record_paths, data, columns)
            if share:
                print(f"  record fast path: {share}")
            vostrel = next((j for j in jobs if j.name == "vostrel"), None)
            if vostrel and not vostrel.failed:
                if not (tmp / f"{dataset}.tut").exists():
                    print(f"  warning: vostrel wrote no {dataset}.tut")
                elif not check_vostrel(tmp, dataset):
                    status = 1
                baseline = next((j for j in jobs if j.name == "baseline"),
                                None)
                if baseline and not baseline.failed:
                    if args.vostrel_options:
                        # Options such as --mean change the files by design.
                        print("  check: vostrel ran with options, so its "
                              "files are not compared with the baseline's")
                    elif not same_outputs(tmp, dataset):
                        status = 1
            if any(j.failed for j in jobs):
                status = 1
            shutil.rmtree(tmp / "baseline", ignore_errors=True)
            for f in tmp.iterdir():
                f.unlink()
    except KeyboardInterrupt:
        print("\ninterrupted")
        return 130
    finally:
        shutil.rmtree(tmp, ignore_errors=True)
    return status


if __name__ == "__main__":
    sys.exit(main())
