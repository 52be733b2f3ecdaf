#!/usr/bin/env python3
"""Plants single-line faults in the product code, one at a time, and records
which tests catch each: the measure of what the test suite is worth.

    python3 scripts/plant_faults.py run [--count N] [--seed S] [--out FILE] [--only ID ...]
    python3 scripts/plant_faults.py compare OLD.json [NEW.json]
    python3 scripts/plant_faults.py versus OLD_TESTS_REV [--count N] [--seed S] [--out FILE]

`run` builds a Debug tree of its own (build/faults), then for each planted
fault rebuilds it and runs the whole suite through CTest, one process per test,
and writes every fault with the tests that failed on it to FILE (default
build/faults/faults.json). A fault that does not compile is "stillborn" and
counts for nothing. The same seed plants the same faults in the same sources.

`compare` says which faults OLD's suite caught that are not caught now: with
one file, by the tests that build/debug's suite still has (a suite trimmed by deleting tests
catches exactly what its remaining tests caught); with two, by NEW's run.
Exits 1 when any such fault is left.

`versus` answers the same question for a suite that was changed, not only
trimmed: it plants each fault in this tree and, beside it, in a copy whose
tests/ are those of OLD_TESTS_REV (the product code must be the same), and
runs the current suite first, recording the tests that catch it; only a fault
the current suite misses is tried on the old suite. It lists every fault the
old suite caught and the current one does not, and exits 1 when there is one.
Its FILE serves `compare` too, so that a later trim by deletion is checked
without planting again.
"""
import argparse
import json
import os
import random
import re
import subprocess
import sys
import shutil
import xml.etree.ElementTree as ET

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, "build", "faults")
PRODUCT = ["core", "export", "scene", "model", "skin", "shell", "platform", "standin", "cli"]
SKIP_FILES = {"standin/host/stb_image_impl.cpp"}
# Built for Windows only: a fault there is never compiled here.
SKIP_PARTS = ("standin/win32host/", "_win32.cpp")

# (name, pattern, replacement): each applies to the first match on a line.
OPERATORS = [
    ("eq-ne", r"==", "!="),
    ("ne-eq", r"!=", "=="),
    ("le-lt", r"<=", "<"),
    ("ge-gt", r">=", ">"),
    ("lt-le", r"(?<=[\w\)\]]) < (?=[\w\(])", " <= "),
    ("gt-ge", r"(?<=[\w\)\]]) > (?=[\w\(])", " >= "),
    ("and-or", r"&&", "||"),
    ("or-and", r"\|\|", "&&"),
    ("ret1-0", r"\breturn 1;", "return 0;"),
    ("ret0-1", r"\breturn 0;", "return 1;"),
    ("true-false", r"\breturn true;", "return false;"),
    ("false-true", r"\breturn false;", "return true;"),
    ("plus1-minus1", r"\+ 1\b", "- 1"),
    ("minus1-plus1", r"- 1\b", "+ 1"),
    ("not-drop", r"if \(!", "if ("),
    ("const-bump", r"(?<![\w.])([2-9]|[1-9][0-9]+)(?![\w.])", None),
]


def product_files():
    for folder in PRODUCT:
        for dirpath, _, names in os.walk(os.path.join(ROOT, folder)):
            for name in sorted(names):
                if name.endswith(".cpp"):  # a fault in a header rebuilds nearly everything
                    rel = os.path.relpath(os.path.join(dirpath, name), ROOT)
                    if rel not in SKIP_FILES and not any(part in rel for part in SKIP_PARTS):
                        yield rel


def code_part(line):
    """The line without a trailing comment and string literals blanked, so
    that operators match code only."""
    blanked = re.sub(r'"(\\.|[^"\\])*"', lambda m: '"' + " " * (len(m.group(0)) - 2) + '"', line)
    cut = blanked.find("//")
    return blanked if cut < 0 else blanked[:cut]


def sites():
    for rel in sorted(product_files()):
        with open(os.path.join(ROOT, rel), encoding="utf-8") as f:
            lines = f.read().split("\n")
        for number, line in enumerate(lines, 1):
            stripped = line.strip()
            if not stripped or stripped.startswith(("//", "#", "*", "/*", "static_assert")):
                continue
            code = code_part(line)
            for name, pattern, replacement in OPERATORS:
                m = re.search(pattern, code)
                if not m:
                    continue
                new = str(int(m.group(1)) + 1) if replacement is None else replacement
                mutated = line[: m.start()] + new + line[m.end():]
                yield {"id": f"{rel}:{number}:{name}", "file": rel, "line": number,
                       "before": line, "after": mutated}


def sh(args, **kw):
    return subprocess.run(args, cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, **kw)


def configure(source=ROOT, build=BUILD):
    if not os.path.exists(os.path.join(build, "build.ninja")):
        # Unoptimised and without debug information: every fault relinks the
        # test program, and that is what takes the time.
        r = sh(["cmake", "-S", source, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=None",
                "-DCMAKE_CXX_FLAGS=-O0 -g0", "-DVORN_WERROR=OFF"])
        if r.returncode:
            sys.exit("configure failed:\n" + r.stdout)
    r = sh(["cmake", "--build", build])
    if r.returncode:
        sys.exit("the unplanted tree does not build:\n" + r.stdout[-4000:])


def suite_fails(build):
    """Whether any test fails, stopping at the first that does."""
    r = sh(["ctest", "--test-dir", build, "-j4", "--timeout", "120", "--stop-on-failure"])
    return r.returncode != 0


def failing_tests(build=BUILD):
    junit = os.path.join(build, "junit.xml")
    # Many tests wait on child processes and files more than they compute.
    sh(["ctest", "--test-dir", build, "-j4", "--timeout", "120", "--output-junit", junit])
    failed, ran = [], []
    for case in ET.parse(junit).getroot().iter("testcase"):
        ran.append(case.get("name"))
        if case.get("status") == "fail" or case.find("failure") is not None:
            failed.append(case.get("name"))
    return failed, ran


def run(args):
    configure()
    every = list(sites())
    random.Random(args.seed).shuffle(every)
    chosen = [s for s in every if s["id"] in set(args.only)] if args.only else every[: args.count]
    baseline, tests = failing_tests()
    if baseline:
        sys.exit("the unplanted suite fails: " + ", ".join(baseline))
    results = {"seed": args.seed, "tests": tests, "faults": []}
    if os.path.exists(args.out):  # a run cut short goes on where it stopped
        with open(args.out) as f:
            results["faults"] = json.load(f)["faults"]
    done = {r["id"] for r in results["faults"]}
    for n, site in enumerate(chosen, 1):
        if site["id"] in done:
            continue
        path = os.path.join(ROOT, site["file"])
        with open(path, encoding="utf-8") as f:
            original = f.read()
        lines = original.split("\n")
        lines[site["line"] - 1] = site["after"]
        try:
            with open(path, "w", encoding="utf-8") as f:
                f.write("\n".join(lines))
            built = sh(["cmake", "--build", BUILD]).returncode == 0
            killers = failing_tests()[0] if built else []
        finally:
            with open(path, "w", encoding="utf-8") as f:
                f.write(original)
        status = "stillborn" if not built else ("killed" if killers else "survived")
        results["faults"].append(dict(site, status=status, killers=killers))
        print(f"[{n}/{len(chosen)}] {status:9} {site['id']}", flush=True)
        with open(args.out, "w") as f:
            json.dump(results, f, indent=1)
    sh(["cmake", "--build", BUILD])
    counts = {k: sum(1 for r in results["faults"] if r["status"] == k) for k in ("killed", "survived", "stillborn")}
    print(json.dumps(counts))


def plain_name(test):
    """A test's name without the parameter dump CTest may append to it."""
    return test.split("  # GetParam()")[0].strip()


def current_tests(build):
    listing = sh(["ctest", "--test-dir", build, "-N"]).stdout
    return {plain_name(t) for t in re.findall(r"Test\s+#\d+: (.+)$", listing, re.M)}


def compare(args):
    with open(args.old) as f:
        old = json.load(f)
    # A versus run's "lost" faults were caught by its old suite only.
    killed_before = [r for r in old["faults"] if r["status"] in ("killed", "lost")]
    if args.new:
        with open(args.new) as f:
            new = {r["id"]: r for r in json.load(f)["faults"]}
        lost = [r for r in killed_before if new.get(r["id"], {}).get("status") != "killed"]
    else:
        tests = current_tests(args.tests_from)
        lost = [r for r in killed_before if not tests.intersection(plain_name(k) for k in r["killers"])]
    gained = 0
    if args.new:
        gained = sum(1 for r in old["faults"] if r["status"] == "survived" and new.get(r["id"], {}).get("status") == "killed")
    print(f"{len(killed_before)} faults caught before; {len(lost)} of them not caught now"
          + (f"; {gained} caught now that were not before" if args.new else ""))
    for r in lost:
        print(f"  {r['id']}: {r['after'].strip()}   (caught by {', '.join(r['killers'])})")
    return 1 if lost else 0


def planted(root, site):
    """A context: site's fault written into the copy of its file under root."""
    class Planted:
        def __enter__(self):
            self.path = os.path.join(root, site["file"])
            with open(self.path, encoding="utf-8") as f:
                self.original = f.read()
            lines = self.original.split("\n")
            lines[site["line"] - 1] = site["after"]
            with open(self.path, "w", encoding="utf-8") as f:
                f.write("\n".join(lines))

        def __exit__(self, *exc):
            with open(self.path, "w", encoding="utf-8") as f:
                f.write(self.original)
    return Planted()


def versus(args):
    old_root = os.path.join(ROOT, "build", "faults-old-tree")
    old_build = os.path.join(old_root, "build", "faults")
    if not os.path.exists(old_root):
        r = sh(["git", "worktree", "add", "--detach", old_root, "HEAD"])
        if r.returncode:
            sys.exit(r.stdout)
    sh(["git", "-C", old_root, "checkout", "--detach", "-q", sh(["git", "rev-parse", "HEAD"]).stdout.strip()])
    # The old tests over this tree's product code, uncommitted work included.
    for folder in PRODUCT + ["tests", "CMakeLists.txt", "cmake", "fuzz"]:
        src, dst = os.path.join(ROOT, folder), os.path.join(old_root, folder)
        if os.path.isdir(dst):
            shutil.rmtree(dst)
        elif os.path.exists(dst):
            os.remove(dst)
        if os.path.isdir(src):
            shutil.copytree(src, dst)
        else:
            shutil.copy2(src, dst)
    r = sh(["git", "-C", old_root, "checkout", args.old_tests, "--", "tests"])
    if r.returncode:
        sys.exit(r.stdout)
    # An old test file written against an interface that has changed since.
    for rel in args.current:
        shutil.copy2(os.path.join(ROOT, rel), os.path.join(old_root, rel))
    # The old suite's test list, built as this tree builds its tests now.
    old_lists = os.path.join(old_root, "tests", "CMakeLists.txt")
    with open(old_lists) as f:
        old_sources = re.search(r"set\(TEST_SOURCES\n.*?\n\)", f.read(), re.S).group(0)
    with open(os.path.join(ROOT, "tests", "CMakeLists.txt")) as f:
        lists = re.sub(r"set\(TEST_SOURCES\n.*?\n\)", lambda _: old_sources, f.read(), count=1, flags=re.S)
    with open(old_lists, "w") as f:
        f.write(lists)
    configure()
    configure(old_root, old_build)
    if suite_fails(BUILD) or suite_fails(old_build):
        sys.exit("a suite fails without any fault planted")
    every = list(sites())
    random.Random(args.seed).shuffle(every)
    results = {"seed": args.seed, "old_tests": args.old_tests, "faults": []}
    if os.path.exists(args.out):
        with open(args.out) as f:
            results["faults"] = json.load(f)["faults"]
    done = {r["id"] for r in results["faults"]}
    for n, site in enumerate(every[: args.count], 1):
        if site["id"] in done:
            continue
        with planted(ROOT, site):
            built = sh(["cmake", "--build", BUILD]).returncode == 0
            killers = failing_tests()[0] if built else []
            now = bool(killers)
        before = None
        if built and not now:
            with planted(old_root, site):
                before = sh(["cmake", "--build", old_build]).returncode == 0 and suite_fails(old_build)
        status = "stillborn" if not built else "killed" if now else "lost" if before else "survived"
        results["faults"].append(dict(site, status=status, killers=killers))
        print(f"[{n}/{args.count}] {status:9} {site['id']}", flush=True)
        with open(args.out, "w") as f:
            json.dump(results, f, indent=1)
    sh(["cmake", "--build", BUILD])
    counts = {k: sum(1 for r in results["faults"] if r["status"] == k)
              for k in ("killed", "survived", "lost", "stillborn")}
    print(json.dumps(counts))
    for r in results["faults"]:
        if r["status"] == "lost":
            print(f"  caught only by the old suite: {r['id']}: {r['after'].strip()}")
    return 1 if counts["lost"] else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = parser.add_subparsers(dest="command", required=True)
    r = sub.add_parser("run")
    r.add_argument("--count", type=int, default=300)
    r.add_argument("--seed", type=int, default=1)
    r.add_argument("--out", default=os.path.join(BUILD, "faults.json"))
    r.add_argument("--only", nargs="*", default=[])
    # FILE, when it exists, holds faults already run: they are kept, not run again.
    c = sub.add_parser("compare")
    c.add_argument("old")
    c.add_argument("new", nargs="?")
    c.add_argument("--tests-from", default=os.path.join(ROOT, "build", "debug"),
                   help="a built tree whose tests count as the suite now (default build/debug)")
    v = sub.add_parser("versus")
    v.add_argument("old_tests")
    v.add_argument("--count", type=int, default=300)
    v.add_argument("--seed", type=int, default=1)
    v.add_argument("--out", default=os.path.join(BUILD, "versus.json"))
    v.add_argument("--current", nargs="*", default=[], metavar="TEST_FILE",
                   help="test files the old suite takes from this tree, where the old no longer compile")
    args = parser.parse_args()
    if args.command == "versus":
        os.makedirs(BUILD, exist_ok=True)
        return versus(args)
    if args.command == "run":
        os.makedirs(BUILD, exist_ok=True)
        run(args)
        return 0
    return compare(args)


if __name__ == "__main__":
    sys.exit(main())
