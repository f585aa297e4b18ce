#!/usr/bin/env python3
"""Mutation check of the portable core: applies each mutant of mutants.txt to a scratch copy
of the work tree, rebuilds the native preset there, runs the native unit tests and records
whether a test caught the fault. See README.md beside this file."""

import argparse
import fcntl
import hashlib
import os
import re
import shutil
import signal
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.abspath(os.path.join(HERE, "..", ".."))
WORK = os.path.join(ROOT, "build", "mutation")  # everything the tool writes lives here
TREE = os.path.join(WORK, "tree")  # the scratch copy that is mutated and built
LOGS = os.path.join(WORK, "logs")
RESULTS = os.path.join(WORK, "results.txt")
MUTANTS = os.path.join(HERE, "mutants.txt")
BASELINE = os.path.join(HERE, "baseline.txt")
NICE = ["nice", "-n", "10"]

# Every native test program, quick ones first: the two fault sweeps take most of the time.
ALL_TESTS = ["platform_tests", "catalogue_tests", "patch_tests", "scripts_tests",
             "translation_tests", "recent_tests", "app_tests", "backup_tests",
             "dravik_run_tests"]

# The test programs that exercise each folder's code, its own first. They set the order of
# a run (a caught mutant usually stops in its own folder's program; the others follow in
# the order above) and, with --related, are the only programs run. A file not listed here
# runs every program.
RELATED = {
    "platform/": ALL_TESTS,
    "catalogue/": ["catalogue_tests", "scripts_tests", "translation_tests", "recent_tests",
                   "app_tests", "backup_tests", "dravik_run_tests"],
    "backup/": ["backup_tests", "patch_tests", "scripts_tests", "app_tests", "dravik_run_tests"],
    "patch/": ["patch_tests", "translation_tests", "scripts_tests", "app_tests",
               "dravik_run_tests"],
    "scripts/script_selection.cpp": ["app_tests", "dravik_run_tests"],
    "scripts/": ["scripts_tests", "catalogue_tests", "app_tests", "dravik_run_tests"],
    "translation/": ["translation_tests", "catalogue_tests", "app_tests", "dravik_run_tests"],
    "recent/": ["recent_tests", "scripts_tests", "app_tests", "backup_tests", "dravik_run_tests"],
    "app/": ["app_tests", "dravik_run_tests"],
}


class Interrupted(Exception):
    pass


def on_signal(signum, _frame):
    raise Interrupted(signal.Signals(signum).name)


# ---- the list -----------------------------------------------------------------------------

class Mutant:
    def __init__(self, fields, line):
        self.line = line
        self.id = fields["id"]
        self.file = fields["file"]
        self.what = fields["what"]
        self.find = fields["find"]
        self.replace = fields["replace"]


def parse_mutants(path):
    """Reads the blocks of mutants.txt (format at the top of that file). Returns the mutants
    and a list of problems."""
    mutants, problems = [], []
    fields, block_line, collecting = {}, 0, None

    def close_block():
        if not fields:
            return
        for key in ("find", "replace"):
            if isinstance(fields.get(key), list):
                fields[key] = "\n".join(fields[key])
        missing = [k for k in ("id", "file", "what", "find", "replace") if k not in fields]
        if missing:
            problems.append(f"line {block_line}: the block lacks {', '.join(missing)}")
        elif not fields["find"]:
            problems.append(f"line {block_line}: {fields['id']} has an empty find text")
        else:
            mutants.append(Mutant(fields, block_line))
        fields.clear()

    with open(path, encoding="utf-8") as f:
        lines = f.read().split("\n")
    for number, raw in enumerate(lines, 1):
        if raw.startswith("#"):
            continue
        if raw.strip() == "":
            close_block()
            collecting = None
            continue
        if not fields:
            block_line = number
        if raw.startswith("|"):
            if collecting is None:
                problems.append(f"line {number}: a '|' line that follows no lone find:/replace:")
            else:
                fields[collecting].append(raw[1:])
            continue
        match = re.match(r"^(id|file|what|find|replace):(?: (.*))?$", raw)
        if not match:
            problems.append(f"line {number}: cannot read {raw!r}")
            continue
        key, value = match.groups()
        if key in fields:
            problems.append(f"line {number}: {key} given twice in one block")
        if key in ("find", "replace") and not value:
            fields[key] = []  # the text follows as "|" lines; none at all: an empty text
            collecting = key
        else:
            fields[key] = value if key in ("find", "replace") else (value or "").strip()
            collecting = None
    close_block()
    seen = set()
    for m in mutants:
        if m.id in seen:
            problems.append(f"line {m.line}: id {m.id} is used twice")
        seen.add(m.id)
    return mutants, problems


# ---- the scratch copy ---------------------------------------------------------------------

def git(*args, cwd=ROOT):
    return subprocess.run(["git", *args], cwd=cwd, check=True, capture_output=True).stdout


def work_tree_fingerprint():
    """What `git status` and `git diff` show, hashed: equal before and after a run."""
    status = git("status", "--porcelain=v1", "-uall")
    diff = git("diff", "HEAD", "--binary")
    return hashlib.sha256(status + b"\0" + diff).hexdigest(), status.decode(errors="replace")


def source_files():
    """Tracked and untracked-but-not-ignored files of the work tree, as they are now."""
    out = git("ls-files", "-z", "--cached", "--others", "--exclude-standard")
    return sorted({p for p in out.decode().split("\0") if p and os.path.isfile(os.path.join(ROOT, p))})


def sync_tree():
    """Makes TREE hold the work tree's files. Only files whose bytes differ are written, so
    the copy's build stays incremental; a file left mutated by an interrupted run differs
    and is put right here."""
    files = source_files()
    manifest = os.path.join(WORK, "tree-files.txt")
    previous = set()
    if os.path.exists(manifest):
        with open(manifest, encoding="utf-8") as f:
            previous = {line for line in f.read().split("\n") if line}
    written = 0
    for rel in files:
        src, dst = os.path.join(ROOT, rel), os.path.join(TREE, rel)
        with open(src, "rb") as f:
            data = f.read()
        try:
            with open(dst, "rb") as f:
                same = f.read() == data
        except OSError:
            same = False
        if not same:
            os.makedirs(os.path.dirname(dst), exist_ok=True)
            with open(dst, "wb") as f:  # a new mtime: ninja rebuilds what depends on it
                f.write(data)
            written += 1
        mode = os.stat(src).st_mode & 0o777
        if os.stat(dst).st_mode & 0o777 != mode:
            os.chmod(dst, mode)
    for rel in previous - set(files):
        try:
            os.remove(os.path.join(TREE, rel))
        except OSError:
            pass
    with open(manifest, "w", encoding="utf-8") as f:
        f.write("\n".join(files) + "\n")
    return written


# ---- running ------------------------------------------------------------------------------

current_child = None


def run(command, cwd, log, timeout=None):
    """Runs a command in a process group of its own (so that a timeout or Ctrl-C ends it
    and everything it started); appends its output to log. Returns (exit code or None on
    timeout, output)."""
    global current_child
    with open(log, "a", encoding="utf-8", errors="replace") as out:
        out.write(f"\n$ {' '.join(command)}\n")
        out.flush()
        current_child = subprocess.Popen(command, cwd=cwd, stdout=subprocess.PIPE,
                                         stderr=subprocess.STDOUT, start_new_session=True)
        try:
            output, _ = current_child.communicate(timeout=timeout)
            code = current_child.returncode
        except subprocess.TimeoutExpired:
            kill_child()
            output, code = current_child.communicate()[0], None
        finally:
            child, current_child = current_child, None
            if child.poll() is None:
                kill_child(child)
        text = output.decode(errors="replace")
        out.write(text)
        if code is None:
            out.write(f"\n== timed out after {timeout} s\n")
    return code, text


def kill_child(child=None):
    child = child or current_child
    if child is None:
        return
    try:
        os.killpg(child.pid, signal.SIGKILL)
    except (ProcessLookupError, PermissionError):
        pass
    try:
        child.wait(timeout=30)
    except subprocess.TimeoutExpired:
        pass


def build(log):
    code, _ = run(NICE + ["cmake", "--preset", "native"], TREE, log)
    if code != 0:
        return False
    code, _ = run(NICE + ["cmake", "--build", "--preset", "native"], TREE, log)
    return code == 0


FAILED_LINE = re.compile(r"^\s*\d+ - (\S+) \((.+)\)\s*$")


def run_tests(programs, log, limits, stop_on_failure):
    """Runs the test programs in order, one ctest call each (that keeps the order and lets a
    run stop at the first failure). limits gives each program's time limit (None: none).
    Returns (failing programs with their reason, seconds each program took)."""
    failed, seconds = [], {}
    for program in programs:
        start = time.monotonic()
        code, text = run(NICE + ["ctest", "--preset", "native", "--no-tests=error",
                                 "-R", f"^{program}$"],
                         TREE, log, timeout=limits.get(program))
        seconds[program] = time.monotonic() - start
        if code is None:
            failed.append((program, f"killed after {limits.get(program):.0f} s"))
        elif code != 0:
            names = [m.groups() for m in map(FAILED_LINE.match, text.split("\n")) if m]
            failed += names or [(program, f"ctest exit {code}")]
        if failed and stop_on_failure:
            break
    return failed, seconds


def clean_scratch():
    """Test programs leave the scratch folders of failed tests in their build folder."""
    native = os.path.join(TREE, "build", "native")
    for dirpath, dirnames, _ in os.walk(native):
        if "scratch" in dirnames:
            shutil.rmtree(os.path.join(dirpath, "scratch"), ignore_errors=True)
        dirnames[:] = [d for d in dirnames if d not in ("scratch", "CMakeFiles", "googletest")]
        if dirpath.count(os.sep) - native.count(os.sep) >= 2:
            dirnames[:] = []


def related_programs(path):
    best = None
    for prefix, programs in RELATED.items():
        if path.startswith(prefix) and (best is None or len(prefix) > len(best)):
            best = prefix
    return RELATED[best] if best else ALL_TESTS


def test_order(path, related_only):
    """The mutated folder's own program first, then the others quick ones first."""
    related = related_programs(path)
    rest = [p for p in ALL_TESTS if p != related[0] and (p in related or not related_only)]
    return [related[0]] + rest


def read_baseline():
    verdicts = {}
    if os.path.exists(BASELINE):
        with open(BASELINE, encoding="utf-8") as f:
            for line in f:
                parts = line.split()
                if len(parts) >= 2 and not line.startswith("#"):
                    verdicts[parts[0]] = parts[1]
    return verdicts


# ---- main ---------------------------------------------------------------------------------

def main():
    parser = argparse.ArgumentParser(
        description="Mutation check of the portable core against the native unit tests.")
    parser.add_argument("ids", nargs="*", help="mutant ids to run (default: the whole list)")
    parser.add_argument("--list", action="store_true",
                        help="only check that every find text occurs exactly once")
    parser.add_argument("--related", action="store_true",
                        help="run only the test programs related to the mutated folder "
                             "(faster, weaker: a fault caught elsewhere counts as survived)")
    parser.add_argument("--full", action="store_true",
                        help="run every test program even after one failed, to record "
                             "all programs that catch each mutant")
    parser.add_argument("--timeout", type=float, default=None,
                        help="seconds each test program may take with a mutant before it is "
                             "killed and the mutant counts as caught (default: 4 x what the "
                             "program took in the clean run + 60)")
    parser.add_argument("--skip-clean-run", action="store_true",
                        help="do not build and test the unmutated copy first (quicker when "
                             "re-checking a few mutants; each program's time limit is then "
                             "300 s)")
    parser.add_argument("--write-baseline", action="store_true",
                        help="write tools/mutation/baseline.txt from this run "
                             "(the whole list must have run)")
    args = parser.parse_args()

    mutants, problems = parse_mutants(MUTANTS)
    for p in problems:
        print(f"mutants.txt: {p}", file=sys.stderr)
    if problems:
        return 2
    if args.ids:
        known = {m.id for m in mutants}
        unknown = [i for i in args.ids if i not in known]
        if unknown:
            print(f"unknown ids: {' '.join(unknown)}", file=sys.stderr)
            return 2
        mutants = [m for m in mutants if m.id in args.ids]

    if args.list:
        bad = 0
        for m in mutants:
            path = os.path.join(ROOT, m.file)
            count = open(path, encoding="utf-8").read().count(m.find) if os.path.exists(path) else 0
            if count != 1:
                bad += 1
                print(f"{m.id:5} not-found  {m.file}: find text occurs {count} times")
        print(f"{len(mutants) - bad} of {len(mutants)} mutants anchored")
        return 1 if bad else 0

    os.makedirs(LOGS, exist_ok=True)
    lock = open(os.path.join(WORK, "lock"), "w")
    try:
        fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
    except OSError:
        print("another mutation run is using build/mutation", file=sys.stderr)
        return 2

    for s in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
        signal.signal(s, on_signal)

    fingerprint, _ = work_tree_fingerprint()
    head = git("rev-parse", "--short", "HEAD").decode().strip()  # what the copy is made from
    started = time.monotonic()
    results = []  # (mutant, verdict, detail, seconds)
    applied = None  # (path, original text) while a mutant is in the copy
    interrupted = None
    status = 0
    try:
        os.makedirs(TREE, exist_ok=True)
        written = sync_tree()
        print(f"== scratch copy {os.path.relpath(TREE, ROOT)}: {written} files updated")
        clean_log = os.path.join(LOGS, "clean.log")
        open(clean_log, "w").close()
        print("== building the unmutated copy" +
              ("" if args.skip_clean_run else " and running its tests (they must pass first)"))
        if not build(clean_log):
            print(f"the unmutated build fails: see {os.path.relpath(clean_log, ROOT)}")
            return 2
        failed, clean = [], {}
        if not args.skip_clean_run:
            failed, clean = run_tests(ALL_TESTS, clean_log, {}, stop_on_failure=False)
        clean_scratch()
        if failed:
            print(f"the unmutated tests fail ({', '.join(n for n, _ in failed)}): "
                  f"see {os.path.relpath(clean_log, ROOT)}")
            return 2
        # An endless loop counts as caught once its program takes far longer than it did
        # without the fault.
        limits = {p: args.timeout or (4 * clean[p] + 60 if p in clean else 300.0)
                  for p in ALL_TESTS}
        if args.skip_clean_run:
            print("== clean run skipped")
        else:
            print(f"== clean run: all native tests pass in {sum(clean.values()):.0f} s")
        print("== time limits: " + ", ".join(f"{p} {limits[p]:.0f} s" for p in ALL_TESTS))

        for m in mutants:
            t0 = time.monotonic()
            log = os.path.join(LOGS, f"{m.id}.log")
            with open(log, "w", encoding="utf-8") as f:
                f.write(f"{m.id} {m.file}: {m.what}\n")
            path = os.path.join(TREE, m.file)
            original = open(path, encoding="utf-8").read() if os.path.exists(path) else ""
            count = original.count(m.find)
            if count != 1:
                verdict, detail = "not-found", f"find text occurs {count} times"
            else:
                applied = (path, original)
                with open(path, "w", encoding="utf-8") as f:
                    f.write(original.replace(m.find, m.replace, 1))
                if not build(log):
                    verdict, detail = "did-not-build", "see the log"
                else:
                    programs = test_order(m.file, args.related)
                    failed, _ = run_tests(programs, log, limits, stop_on_failure=not args.full)
                    if failed:
                        verdict = "caught"
                        detail = ", ".join(f"{n} ({why})" if why != "Failed" else n
                                           for n, why in failed)
                    else:
                        verdict, detail = "survived", ""
                with open(path, "w", encoding="utf-8") as f:
                    f.write(original)
                applied = None
                clean_scratch()
            seconds = time.monotonic() - t0
            results.append((m, verdict, detail, seconds))
            print(f"{m.id:5} {verdict:13} {seconds:5.0f} s  {m.file}: {m.what}"
                  + (f"  [{detail}]" if detail else ""), flush=True)
    except Interrupted as e:
        interrupted = str(e)
    except KeyboardInterrupt:
        interrupted = "SIGINT"
    finally:
        for s in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
            signal.signal(s, signal.SIG_IGN)
        kill_child()
        if applied:
            with open(applied[0], "w", encoding="utf-8") as f:
                f.write(applied[1])
        for s in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
            signal.signal(s, signal.SIG_DFL)

    total = time.monotonic() - started
    if interrupted:
        print(f"== interrupted ({interrupted}) after {len(results)} mutants")
    caught = sum(1 for r in results if r[1] == "caught")
    counts = {}
    for r in results:
        counts[r[1]] = counts.get(r[1], 0) + 1

    baseline = read_baseline()
    lost = [r[0].id for r in results if baseline.get(r[0].id) == "caught" and r[1] != "caught"]

    with open(RESULTS, "w", encoding="utf-8") as f:
        f.write(f"# mutation run of {head}"
                f"{' (work tree has changes)' if work_tree_fingerprint()[1] else ''}, "
                f"{time.strftime('%Y-%m-%d %H:%M')}, {total:.0f} s"
                f"{', related tests only' if args.related else ''}\n")
        for m, verdict, detail, seconds in results:
            f.write(f"{m.id:5} {verdict:13} {seconds:5.0f}s  {m.file}  {detail}\n")
    print()
    print(f"{'id':5} {'verdict':13} {'file':38} caught by")
    for m, verdict, detail, _ in results:
        print(f"{m.id:5} {verdict:13} {m.file:38} {detail}")
    print()
    summary = ", ".join(f"{n} {v}" for v, n in sorted(counts.items()))
    print(f"caught {caught} of {len(results)} ({summary}) in {total / 60:.1f} min"
          f"{'; related tests only' if args.related else ''}")
    if lost:
        print(f"caught in baseline.txt but not now: {' '.join(lost)}")
    print(f"results: {os.path.relpath(RESULTS, ROOT)}, logs: {os.path.relpath(LOGS, ROOT)}/")

    # Compared before baseline.txt is written: that change is the run's own.
    after, status_text = work_tree_fingerprint()
    if args.write_baseline:
        whole = {m.id for m in parse_mutants(MUTANTS)[0]}
        if interrupted or {r[0].id for r in results} != whole or args.related:
            print("baseline not written: it needs an uninterrupted run of the whole list "
                  "with every test program", file=sys.stderr)
            status = 1
        else:
            with open(BASELINE, "w", encoding="utf-8") as f:
                f.write("# Which mutants of mutants.txt the native unit tests catch; written by\n"
                        "# run-mutants.sh --write-baseline. A later run lists every mutant that\n"
                        "# is caught here but not there. Columns: id, verdict, the test program\n"
                        "# that failed first (\"-\" when none), what the fault is.\n")
                for m, verdict, detail, _ in results:
                    first = detail.split(",")[0].split(" ")[0] if verdict == "caught" else "-"
                    f.write(f"{m.id:5} {verdict:13} {first:17} {m.what}\n")
                f.write(f"# caught {caught} of {len(results)}; measured on commit {head}, "
                        f"{time.strftime('%Y-%m-%d')}, {total / 60:.0f} min\n")
            print(f"written: {os.path.relpath(BASELINE, ROOT)}")

    if after == fingerprint:
        print("work tree: unchanged by the run (git status and git diff as before)")
    else:
        print("work tree: git status or git diff changed during the run (edited meanwhile?):")
        print(status_text)
        status = 1
    if interrupted:
        return 130
    if lost or counts.get("not-found") or counts.get("did-not-build"):
        status = 1
    return status


if __name__ == "__main__":
    sys.exit(main())
