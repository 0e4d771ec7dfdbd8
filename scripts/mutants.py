#!/usr/bin/env python3
"""Measures how many injected faults the fast test suite catches.

    scripts/mutants.py [--source DIR] [--build DIR] [--only SUBSTRING] [--list FILE] [--who] [--labels REGEX]

Each fault in scripts/mutants.txt is one textual change to the product code.
For each, in turn, the script applies it to a copy of the sources, rebuilds
the tests, runs the fast suite (everything but the Wine, X11, package and
robustness tests) and restores the file. A fault is caught when the build
succeeds and some test fails (or hangs); a fault that does not compile is
reported apart and counts for nothing. Prints one line per fault and the
caught share; the sources given are never modified. With --who every test
runs for every fault and each caught line names the tests that failed, and
the next the checks that failed in them (a test file's line, or a shell
check's words), which shows what a test, or one check, catches that no
other does. With --labels only the tests whose ctest labels match run, in
place of the fast suite: an end-to-end group with its own list of faults in
the glue it drives (scripts/mutants-x11.txt with --labels x11,
scripts/mutants-wayland.txt with --labels wayland, in the Wine root of
scripts/wine-root.sh make).

mutants.txt: one fault per line, fields separated by " @@ ":
    FILE @@ OLD @@ NEW [@@ OLD2 @@ NEW2 ...]
Each OLD must occur exactly once in FILE; "\\n" stands for a line break.
Lines starting with # and blank lines are ignored.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
FAST = "wine|x11|package|robustness"


def parse(path):
    faults = []
    for number, line in enumerate(open(path, encoding="utf-8"), 1):
        line = line.rstrip("\n")
        if not line.strip() or line.lstrip().startswith("#"):
            continue
        fields = [f.replace("\\n", "\n") for f in line.split(" @@ ")]
        if len(fields) < 3 or len(fields) % 2 == 0:
            sys.exit(f"{path}:{number}: want FILE @@ OLD @@ NEW [@@ OLD @@ NEW ...]")
        faults.append((number, fields[0], list(zip(fields[1::2], fields[2::2]))))
    return faults


def copy_sources(source, work):
    """Copies the files git knows (tracked or new) that differ, so that the
    build in the copy stays incremental."""
    names = subprocess.run(["git", "ls-files", "-z", "--cached", "--others", "--exclude-standard"], cwd=source,
                           stdout=subprocess.PIPE, check=True).stdout.decode().split("\0")
    for name in filter(None, names):
        src, dst = os.path.join(source, name), os.path.join(work, name)
        if not os.path.isfile(src):
            continue
        if os.path.exists(dst) and open(src, "rb").read() == open(dst, "rb").read():
            continue
        os.makedirs(os.path.dirname(dst), exist_ok=True)
        shutil.copy(src, dst)  # a fresh time stamp, so that the build sees a restored file


def failed_checks(output):
    """The checks that failed in ctest's --output-on-failure OUTPUT: a test
    file's FILE:LINE for GoogleTest, the words after FAIL: for a shell
    driver, the test's name where it failed with neither (a crash, a
    time-out)."""
    checks, test, seen = [], None, False
    for line in output.splitlines():
        status = re.search(r"Test +#\d+: (.+?) \.+\**(Failed|Timeout|Exception|Subprocess)", line)
        if status or re.search(r"Test +#\d+: .+? \.+ +Passed", line):
            if test and not seen:
                checks.append(test)
            test, seen = (status.group(1) if status else None), False
            continue
        found = re.search(r"(\w+\.(?:cpp|h)):(\d+): Failure", line) or re.match(r"FAIL: (.*)", line)
        if test and found:
            checks.append(":".join(found.groups()) if found.re.groups == 2 else found.group(1)[:60])
            seen = True
    if test and not seen:
        checks.append(test)
    return sorted(set(checks))


def run(cmd, cwd, timeout, output=None):
    try:
        done = subprocess.run(cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=timeout)
        if output is not None:
            output.append(done.stdout.decode(errors="replace"))
        return done.returncode
    except subprocess.TimeoutExpired as expired:
        if output is not None:
            output.append((expired.stdout or b"").decode(errors="replace"))
        return "timeout"


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--source", default=os.path.dirname(HERE))
    ap.add_argument("--build", default=None)
    ap.add_argument("--only", default="")
    ap.add_argument("--list", default=os.path.join(HERE, "mutants.txt"))
    ap.add_argument("--who", action="store_true")
    ap.add_argument("--labels", default=None)
    args = ap.parse_args()

    faults = [f for f in parse(args.list) if args.only in f[1]]
    work = os.path.join(args.source, "build", "mutants-src")
    # The build lies inside the copy: the groups that run in the Wine root
    # see only the tree they are started from, mounted there.
    build = args.build or os.path.join(work, "build", "mutants")
    # A private copy of the sources: the working tree stays untouched.
    copy_sources(args.source, work)
    # Those groups are registered with the Wine tests, and use the root the
    # source tree has made.
    os.environ.setdefault("KIVO_WINE_ROOT", os.path.join(args.source, "build", "wine-root"))
    if run(["cmake", "-S", work, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
            "-DKIVO_BUILD_BENCH=OFF", f"-DKIVO_WINE_TESTS={'ON' if args.labels else 'OFF'}"], work, 600) != 0:
        sys.exit("configure failed")
    if run(["cmake", "--build", build, "-j", str(os.cpu_count())], work, 1200) != 0:
        sys.exit("the unmodified tree does not build")
    suite = ["-L", args.labels] if args.labels else ["-LE", FAST]
    if run(["ctest", "--test-dir", build] + suite + ["-j", str(os.cpu_count())], work, 600) != 0:
        sys.exit("the unmodified tree fails its fast tests")

    caught = survived = invalid = 0
    for number, name, edits in faults:
        path = os.path.join(work, name)
        original = open(path, encoding="utf-8").read()
        text = original
        stale = None
        for old, new in edits:
            if text.count(old) != 1:
                stale = f"'{old[:40]}' occurs {text.count(old)} times"
                break
            text = text.replace(old, new)
        if stale:
            print(f"line {number:3}: STALE    {name}: {stale}", flush=True)
            invalid += 1
            continue
        open(path, "w", encoding="utf-8").write(text)
        started = time.time()
        who, checks = [], []
        try:
            log = []
            if run(["cmake", "--build", build, "-j", str(os.cpu_count())], work, 900, log) != 0:
                # The build renders the README's GIF with the new kivo-render:
                # a fault that breaks that run is caught by the build itself.
                if "FAILED: snow.gif" in log[-1] and "error:" not in log[-1]:
                    verdict = "caught"
                    caught += 1
                else:
                    verdict = "NO-BUILD"
                    invalid += 1
            else:
                log = []
                code = run(["ctest", "--test-dir", build] + suite + ["-j", str(os.cpu_count())]
                           + ([] if args.labels else ["--timeout", "120"])
                           + (["--output-on-failure"] if args.who else ["--stop-on-failure"]), work, 900, log)
                if code == 0:
                    verdict = "SURVIVED"
                    survived += 1
                else:
                    verdict = "caught"
                    caught += 1
                    if args.who:
                        failed = log[-1].split("The following tests FAILED:")[-1].splitlines()[1:]
                        who = [f.split(" - ")[1].split(" (")[0] for f in failed if " - " in f]
                        if code == "timeout":
                            who = ["the group, past its time"]
                        checks = failed_checks(log[-1])
        finally:
            open(path, "w", encoding="utf-8").write(original)
        summary = " / ".join(f"{o.strip()[:50]} -> {n.strip()[:50]}" for o, n in edits).replace("\n", " ")
        print(f"line {number:3}: {verdict:8} {name}: {summary} ({time.time() - started:.0f} s)", flush=True)
        if who:
            print(f"          by {' | '.join(who)}", flush=True)
            print(f"          at {' | '.join(checks)}", flush=True)

    # Restore the build to the unmodified sources.
    run(["cmake", "--build", build, "-j", str(os.cpu_count())], work, 1200)
    total = caught + survived
    if total:
        print(f"caught {caught} of {total} faults ({100.0 * caught / total:.1f} %); {invalid} did not apply or build")


if __name__ == "__main__":
    main()
