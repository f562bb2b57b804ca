#!/usr/bin/env python3
"""Runs the end-to-end scenarios (scenarios.py) under Wine.

  run_scenarios.py --list [--pending]
      ARCH NAME per line: the scenarios that can pass (with --pending: also the others)
  run_scenarios.py --prepare --arch ARCH --work DIR --locale DIR
      boots the pristine prefix of the architecture once
  run_scenarios.py --arch ARCH --work DIR --locale DIR --exe EXE --driver EXE [--sample EXE] NAME...
      runs the named scenarios, each in a fresh copy of the pristine prefix

A failed scenario prints what differs, the transcript, the state before and after, and Wine's
output; its prefix copy is kept under WORK/ARCH/NAME for a look. Exit code 1 if any failed.
"""
import argparse
import os
import re
import shutil
import sys
import time

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
import scenarios  # noqa: E402

SAMPLE_PATH = r"C:\e2e\sample\sampleboxes.exe"


def arches_of(scenario):
    return scenario.get("arches", ["win64", "win32"])


def text_matches(expected, got):
    """Compares a box text in Windows-1252 bytes; {error:N} matches the code line of error N and
    whatever system text follows it."""
    pattern = ""
    for i, part in enumerate(re.split(r"\{error:(-?\d+)\}", expected)):
        if i % 2:
            pattern += "Fehlercode %s(?::\n.*)?" % part
        else:
            pattern += re.escape(part.encode("cp1252").decode("latin-1"))
    return re.fullmatch(pattern, got, re.DOTALL) is not None


def show(text):
    return harness.cp1252(text).replace("\n", "\\n").replace("\r", "\\r").replace("\t", "\\t")


def check(scenario, records, values, before, after):
    problems = []
    ends = [r for r in records if r["kind"] == "end"]
    if not ends or ends[-1]["reason"] != "processes ended":
        problems.append("the run did not end by itself: %s" % (ends[-1] if ends else "no end record"))

    exit_codes = scenario.get("exit_codes", {})
    for r in records:
        if r["kind"] == "exit" and r["code"] != exit_codes.get(r["role"], 0):
            problems.append("exit code of the %s process: expected %d, got %d (0x%X)" % (
                r["role"], exit_codes.get(r["role"], 0), r["code"], r["code"]))

    roles = [r["role"] for r in records if r["kind"] == "process"]
    if scenario.get("processes") is not None and roles != scenario["processes"]:
        problems.append("processes: expected %s, got %s" % (scenario["processes"], roles))
    if scenario.get("program") != "sample":
        copy = (values["temp"] + "\\" + harness.PROGRAM_FILE).lower()
        for r in records:
            if r["kind"] == "process" and r["role"] == "child" and \
                    harness.cp1252(r["image"]).lower() != copy:
                problems.append("the copy runs from %s, not from TEMP (%s)" % (r["image"], copy))

    if scenario.get("boxes") is not None:
        expected = [dict(b, text=harness.fill(b["text"], values)) for b in scenario["boxes"]]
        got = [r for r in records if r["kind"] == "box"]
        for i in range(max(len(expected), len(got))):
            if i >= len(got):
                problems.append("box %d missing: %s" % (i + 1, show(expected[i]["text"].encode(
                    "cp1252").decode("latin-1"))))
                continue
            if i >= len(expected):
                problems.append("box %d not expected: %s" % (i + 1, show(got[i]["text"])))
                continue
            e, g = expected[i], got[i]
            if not text_matches(e["text"], g["text"]):
                problems.append("box %d text:\n      expected %s\n      got      %s" % (
                    i + 1, show(e["text"].encode("cp1252").decode("latin-1")), show(g["text"])))
            for field in ("caption", "owner", "icon", "answer", "role"):
                want = e[field].encode("cp1252").decode("latin-1") if field in (
                    "caption", "owner") else e[field]
                if g[field] != want:
                    problems.append("box %d %s: expected %s, got %s" % (
                        i + 1, field, show(want), show(g[field])))

    if scenario.get("windows") is not None:
        def shape(w):
            return (show(w["class"]), show(w["title"]), list(w["rect"]), w["role"])
        expected = [shape({k: (v.encode("cp1252").decode("latin-1") if isinstance(v, str) else v)
                           for k, v in w.items()}) for w in scenario["windows"]]
        got = [shape(r) for r in records if r["kind"] == "window"]
        if expected != got:
            problems.append("windows (class, title, rect, role):\n      expected %s\n      got      %s"
                            % (expected, got))

    if scenario.get("changes") is not None:
        want = harness.expected_state(before, scenario["changes"], values)
        for name in want:
            if want[name] != after.get(name):
                problems.append("state %r: expected %s, got %s (before: %s)" % (
                    name, want[name], after.get(name), before.get(name)))
    return problems


def run_one(scenario, arch, options):
    name = scenario["name"]
    folder = os.path.join(options.work, arch.name, name)
    prefix = harness.Prefix(os.path.join(folder, "prefix"), arch)
    log_path = os.path.join(folder, "wine.log")
    started = time.monotonic()
    harness.copy_prefix(os.path.join(options.work, "pristine-" + arch.name), prefix.path)
    copied = time.monotonic()

    program, window_class = None, harness.PROGRAM_NAME
    key = harness.DEFAULT_INSTALLATION["key"]
    if scenario.get("program") == "sample":
        program, window_class = SAMPLE_PATH, "SampleStatus"
        harness.write_file(prefix.unix(SAMPLE_PATH), open(options.sample, "rb").read())
    else:
        key = harness.stage(prefix, scenario.get("install"), options.exe)["key"]
    values = harness.placeholders(prefix, key)
    before = harness.state(prefix, key)
    staged = time.monotonic()

    if "answers" in scenario:
        answers = scenario["answers"]
    else:
        answers = [b["answer"] for b in scenario.get("boxes") or []]
    records = harness.run_program(
        prefix, options.driver, options.locale, log_path, args=scenario.get("args"),
        answers=answers, holds=harness.fill(scenario.get("holds", []), values),
        program=program, window_class=window_class, timeout=options.timeout,
        cwd=harness.fill(scenario.get("cwd"), values))
    ran = time.monotonic()
    after = harness.state(prefix, key)
    problems = check(scenario, records, values, before, after)
    timing = "copy %.1f s, staging %.1f s, run %.1f s, check %.1f s" % (
        copied - started, staged - copied, ran - staged, time.monotonic() - ran)

    if not problems:
        print("PASS %s.%s (%s)" % (arch.name, name, timing))
        shutil.rmtree(folder, ignore_errors=True)
        return True
    print("FAIL %s.%s (%s)" % (arch.name, name, timing))
    for p in problems:
        print("  - " + p)
    print("\ntranscript:\n" + harness.describe(records))
    if scenario.get("changes") is not None:
        print("\nstate before:\n" + harness.describe_state(before))
        print("\nstate after:\n" + harness.describe_state(after))
    with open(log_path, errors="replace") as f:
        lines = f.read().splitlines()
    print("\nWine output (%s, last 150 lines):\n%s" % (log_path, "\n".join(lines[-150:])))
    print("\nthe prefix is kept in %s" % prefix.path)
    return False


def main():
    parser = argparse.ArgumentParser(description="End-to-end scenarios under Wine.")
    parser.add_argument("names", nargs="*")
    parser.add_argument("--list", action="store_true")
    parser.add_argument("--pending", action="store_true",
                        help="with --list: also the scenarios that cannot pass yet")
    parser.add_argument("--prepare", action="store_true")
    parser.add_argument("--arch", choices=sorted(harness.ARCHES))
    parser.add_argument("--work")
    parser.add_argument("--locale")
    parser.add_argument("--exe")
    parser.add_argument("--driver")
    parser.add_argument("--sample")
    parser.add_argument("--timeout", type=float, default=60)
    options = parser.parse_args()

    if options.list:
        for scenario in scenarios.ALL:
            if options.pending or "pending" not in scenario:
                for arch in arches_of(scenario):
                    print(arch, scenario["name"])
        return 0
    if not (options.arch and options.work and options.locale):
        parser.error("--arch, --work and --locale are needed")
    options.work = os.path.abspath(options.work)
    options.locale = os.path.abspath(options.locale)
    arch = harness.ARCHES[options.arch]
    if options.prepare:
        harness.make_pristine(os.path.join(options.work, "pristine-" + arch.name), arch,
                              options.locale)
        return 0

    by_name = {s["name"]: s for s in scenarios.ALL}
    unknown = [n for n in options.names if n not in by_name]
    if unknown or not options.names:
        parser.error("unknown scenarios: %s" % unknown if unknown else "no scenario named")
    ok = True
    for name in options.names:
        scenario = by_name[name]
        if arch.name not in arches_of(scenario):
            print("SKIP %s.%s (runs only on %s)" % (arch.name, name, arches_of(scenario)))
            continue
        if "pending" in scenario:
            print("note: %s is pending (%s)" % (name, scenario["pending"]))
        ok = run_one(scenario, arch, options) and ok
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
