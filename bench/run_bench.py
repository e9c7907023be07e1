#!/usr/bin/env python3
"""Times the whole `-run` of qorfwdiag.exe builds on the testbed prefix under Wine.

    bench/run_bench.py [--runs N] [--arch win32|win64] [--env NAME=VALUE ...]
                       [--label-env LABEL:NAME=VALUE ...] LABEL=EXE ...

Makes one private prefix with the suite installed (testbed/make_prefix.sh full, the stand-ins
of the EXE's own build), then runs every EXE N times (default 5), the builds taking turns, and
prints for each the median wall time of the process and the median "Total" of its run log.
With two builds it also prints the ratio of the second's medians to the first's. --env is
set for every run, --label-env only for the runs of that LABEL (one EXE may run under two
labels, with different settings).
"""
import argparse
import os
import pathlib
import shutil
import statistics
import subprocess
import tempfile
import time
import zipfile

ROOT = pathlib.Path(__file__).resolve().parents[1]


def runs_no_32bit() -> bool:
    """Wine's 32-bit loader exists but cannot start (a kernel without ia32 emulation)."""
    if not os.path.exists("/usr/lib/wine/wine"):
        return False
    try:
        return subprocess.run(["/usr/lib/wine/wine", "--version"], capture_output=True,
                              check=False).returncode != 0
    except OSError:
        return True


def run_log_total(package: pathlib.Path) -> float:
    with zipfile.ZipFile(package) as archive:
        log = archive.read("runlog.txt").decode("utf-16")
    total = [line for line in log.splitlines() if line.startswith("Total\t")][-1]
    return int(total.split("\t")[1].split()[0]) / 1000.0


def main() -> None:
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--arch", default="win32", choices=["win32", "win64"])
    parser.add_argument("--env", action="append", default=[], help="NAME=VALUE for every run")
    parser.add_argument("--label-env", action="append", default=[],
                        help="LABEL:NAME=VALUE for the runs of LABEL")
    parser.add_argument("builds", nargs="+", help="LABEL=path to qorfwdiag.exe")
    args = parser.parse_args()
    builds = [(label, pathlib.Path(path).resolve())
              for label, path in (b.split("=", 1) for b in args.builds)]

    prefix = pathlib.Path(tempfile.mkdtemp(prefix="qor-run-bench-"))
    loader = "/usr/lib/wine/wine64" if args.arch == "win64" and \
        os.path.exists("/usr/lib/wine/wine64") else "wine"
    env = dict(os.environ, WINEPREFIX=str(prefix), WINEARCH=args.arch, WINEDEBUG="-all",
               WINEDLLOVERRIDES="mscoree,mshtml=")
    env.update(item.split("=", 1) for item in args.env)
    label_env = {label: {} for label, _ in builds}
    for item in args.label_env:
        label, setting = item.split(":", 1)
        label_env[label].update([setting.split("=", 1)])
    if runs_no_32bit():  # `wine` in the testbed script is then the 64-bit loader
        env["PATH"] = f"{ROOT / 'scripts' / 'wine64-only'}{os.pathsep}{env['PATH']}"
    testbed = ROOT / "build" / args.arch / "testbed"
    quiet = dict(stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        subprocess.run([str(ROOT / "testbed" / "make_prefix.sh"), str(prefix), "full",
                        str(testbed)], env=env, check=True, **quiet)
        subprocess.run(["wineserver", "-p"], env=env, check=False, **quiet)
        walls = {label: [] for label, _ in builds}
        totals = {label: [] for label, _ in builds}
        for _ in range(args.runs):
            for label, exe in builds:
                package = prefix / "bench.zip"
                package.unlink(missing_ok=True)
                start = time.monotonic()
                subprocess.run([loader, str(exe), "-run", str(package)],
                               env=dict(env, **label_env[label]), check=True,
                               stdin=subprocess.DEVNULL, timeout=600, **quiet)
                walls[label].append(time.monotonic() - start)
                totals[label].append(run_log_total(package))
        for label, _ in builds:
            print(f"{label}: median {statistics.median(walls[label]):.3f} s wall, "
                  f"{statistics.median(totals[label]):.3f} s run log; runs "
                  + " ".join(f"{w:.2f}" for w in walls[label]))
        if len(builds) == 2:
            (first, _), (second, _) = builds
            print(f"{second}/{first}: wall "
                  f"{statistics.median(walls[second]) / statistics.median(walls[first]):.3f}, "
                  f"run log "
                  f"{statistics.median(totals[second]) / statistics.median(totals[first]):.3f}")
    finally:
        subprocess.run(["wineserver", "-k"], env=env, check=False, **quiet)
        shutil.rmtree(prefix, ignore_errors=True)


if __name__ == "__main__":
    main()
