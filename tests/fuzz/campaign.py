#!/usr/bin/env python3
"""Runs vorl on many inputs, each in a fresh folder, and sorts the outcomes.

    tests/fuzz/campaign.py --vorl build-rel/vorl --seed 20240611 --count 3000
    tests/fuzz/campaign.py --vorl build-ci/vorl --inputs DIR [--results FILE]
    tests/fuzz/campaign.py --vorl build-rel/vorl --reduce FILE   # smallest input of the same fault

An outcome is accepted when vorl ends with status 0, leaving a complete out.c
that compiles, or with status 1 and exactly one line that is not progress,
starting with the input's file name and a line number ("m00042.c:7:12: ..."),
leaving nothing. Anything else is a finding: a signal, a sanitizer report, a
hang (no end within the time limit), several lines, a line without the
file's place or showing the rewriting of a pragma ("__vorl_latency ..."), a
leftover file, an out.c that does not compile. Findings are
grouped by kind: the class with the message stripped of places and numbers.
"""
import argparse
import collections
import concurrent.futures
import os
import re
import resource
import shutil
import signal
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
PROGRESS = re.compile(r"^(Step \d+\. |WARNING: Some bottom-level|  )")
SANITIZER = re.compile(r"ERROR: (AddressSanitizer|LeakSanitizer|UndefinedBehaviorSanitizer)|"
                       r"runtime error:|Sanitizer:DEADLYSIGNAL")


def limit_memory(megabytes):
    def apply():
        limit = megabytes * 1024 * 1024
        resource.setrlimit(resource.RLIMIT_AS, (limit, limit))
    return apply


def run(vorl, source, timeout, extra, memory_mb, sanitizer):
    """The outcome of vorl on source in a fresh folder: (class, message, detail)."""
    name = os.path.basename(source)
    folder = tempfile.mkdtemp(prefix="vorl-fuzz-")
    try:
        shutil.copyfile(source, os.path.join(folder, name))
        env = dict(os.environ)
        env["ASAN_OPTIONS"] = "detect_leaks=0:hard_rss_limit_mb=%d" % memory_mb
        env["UBSAN_OPTIONS"] = "print_stacktrace=1"
        try:
            p = subprocess.run([os.path.abspath(vorl)] + extra + [name], cwd=folder, env=env,
                               stdin=subprocess.DEVNULL, capture_output=True, timeout=timeout,
                               preexec_fn=None if sanitizer else limit_memory(memory_mb),
                               start_new_session=True)
        except subprocess.TimeoutExpired:
            return "hang", "", "no end within %d s" % timeout
        out = p.stdout.decode("utf-8", "replace")
        err = p.stderr.decode("utf-8", "replace")
        left = sorted(set(os.listdir(folder)) - {name, "out.c"})
        if p.returncode < 0:
            return "signal", signal.Signals(-p.returncode).name, err[-2000:]
        if SANITIZER.search(err):
            report = SANITIZER.search(err).group(0)
            frame = re.search(r"#\d+ 0x[0-9a-f]+ in (\S+)", err[err.find(report):])
            return "sanitizer", report + (" in " + frame.group(1) if frame else ""), err[-3000:]
        if left:
            return "leftover", " ".join(left), ""
        lines = [l for l in (out + err).split("\n") if l and not PROGRESS.match(l)]
        has_out = os.path.exists(os.path.join(folder, "out.c"))
        if p.returncode == 0:
            if not has_out:
                return "no out.c", "", err[-1000:]
            c = subprocess.run(["cc", "-fsyntax-only", "-x", "c", "out.c"], cwd=folder,
                               capture_output=True)
            if c.returncode != 0:
                return "bad out.c", "", c.stderr.decode("utf-8", "replace")[-1000:]
            return "accepted", "", ""
        if p.returncode != 1:
            return "status %d" % p.returncode, lines[0] if lines else "", err[-1000:]
        if has_out:
            return "leftover", "out.c", ""
        if len(lines) != 1:
            return "several lines" if lines else "no message", " | ".join(lines[:3]), ""
        if not re.match(re.escape(name) + r":\d+:", lines[0]):
            return "no location", lines[0], ""
        with open(source, "rb") as f:
            written = b"__vorl_" in f.read()
        if "__vorl_" in lines[0] and not written:
            return "rewritten text", lines[0], ""
        return "refused", lines[0], ""
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def kind(outcome, message, name):
    """What a finding is, whatever the input: its class and its message without
    places, numbers and quoted texts."""
    text = message.replace(name, "FILE")
    text = re.sub(r"FILE:\d+:\d+: [^:]*: ", "FILE:L:C: ", text)
    text = re.sub(r"'[^']*'|\"[^\"]*\"", "'Q'", text)
    text = re.sub(r"\d+", "N", text)
    return (outcome + ": " + text)[:160]


def campaign(args, inputs):
    counts = collections.Counter()
    findings = collections.OrderedDict()
    refusals = collections.Counter()
    extra = ["--time-limit", str(args.time_limit)] if args.time_limit else []
    with concurrent.futures.ThreadPoolExecutor(max_workers=args.jobs) as pool, \
            open(args.results, "w", encoding="utf-8") as results:
        futures = {pool.submit(run, args.vorl, s, args.timeout, extra, args.memory, args.sanitizer): s
                   for s in inputs}
        for future in concurrent.futures.as_completed(futures):
            source = futures[future]
            name = os.path.basename(source)
            outcome, message, detail = future.result()
            counts[outcome] += 1
            results.write("%s\t%s\t%s\n" % (name, outcome, message.replace("\t", " ")))
            results.flush()
            if outcome == "refused":
                refusals[kind(outcome, message, name)] += 1
            elif outcome != "accepted":
                k = kind(outcome, message, name)
                if k not in findings:
                    findings[k] = []
                    print("finding: %s (%s)" % (k, name), file=sys.stderr, flush=True)
                    if detail:
                        print("  " + detail.strip().replace("\n", "\n  ")[-1500:], file=sys.stderr)
                findings[k].append(name)
    return print_table(counts, refusals, findings)


def print_table(counts, refusals, findings):
    """Prints the outcomes and the findings by kind; 1 when there is a finding."""
    total = sum(counts.values())
    print("inputs: %d" % total)
    for outcome, n in counts.most_common():
        print("  %-14s %6d  %5.1f%%" % (outcome, n, 100.0 * n / total if total else 0.0))
    print("distinct refusal messages: %d" % len(refusals))
    print("findings by kind: %d" % len(findings))
    for k, names in sorted(findings.items(), key=lambda kv: -len(kv[1])):
        print("  %5d  %s  (e.g. %s)" % (len(names), k, " ".join(sorted(names)[:3])))
    return 1 if findings else 0


def summary(paths):
    """The table of campaign() from the results files of one or more runs."""
    counts = collections.Counter()
    findings = collections.OrderedDict()
    refusals = set()
    for path in paths:
        with open(path, encoding="utf-8") as results:
            for line in results:
                name, outcome, message = (line.rstrip("\n").split("\t") + ["", ""])[:3]
                counts[outcome] += 1
                if outcome == "refused":
                    refusals.add(kind(outcome, message, name))
                elif outcome != "accepted":
                    findings.setdefault(kind(outcome, message, name), []).append(name)
    return print_table(counts, refusals, findings)


def reduce(args):
    """Deletes lines, then characters, of args.reduce while the fault stays of the same kind."""
    name = os.path.basename(args.reduce)
    extra = ["--time-limit", str(args.time_limit)] if args.time_limit else []
    work = tempfile.mkdtemp(prefix="vorl-reduce-")
    path = os.path.join(work, name)
    with open(args.reduce, "rb") as f:
        data = f.read()

    def fault(candidate):
        with open(path, "wb") as f:
            f.write(candidate)
        outcome, message, _ = run(args.vorl, path, args.timeout, extra, args.memory, args.sanitizer)
        return None if outcome in ("accepted", "refused") else kind(outcome, message, name)

    target = fault(data)
    if target is None:
        sys.exit("campaign.py: %s is no finding" % args.reduce)
    print("reducing: " + target, file=sys.stderr)
    for unit in (b"\n", None):
        parts = data.split(b"\n") if unit else [bytes([c]) for c in data]
        join = (lambda ps: b"\n".join(ps)) if unit else (lambda ps: b"".join(ps))
        chunk = max(1, len(parts) // 2)
        while chunk >= 1:
            k = 0
            while k < len(parts):
                candidate = parts[:k] + parts[k + chunk:]
                if candidate and fault(join(candidate)) == target:
                    parts = candidate
                else:
                    k += chunk
            chunk //= 2
        data = join(parts)
        if len(data) > 400:
            break  # characters one by one would take too long
    shutil.rmtree(work, ignore_errors=True)
    sys.stdout.buffer.write(data)
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--vorl")
    parser.add_argument("--inputs", help="a folder of inputs (*.c); else generated from the seed")
    parser.add_argument("--seed", type=int, default=20240611)
    parser.add_argument("--count", type=int, default=3000)
    parser.add_argument("--timeout", type=int, default=60, help="seconds a run may take")
    parser.add_argument("--time-limit", type=int, default=0, help="passed on as vorl --time-limit")
    parser.add_argument("--memory", type=int, default=4096, help="MB a run may take")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--sanitizer", action="store_true", help="vorl is a sanitizer build")
    parser.add_argument("--results", default="campaign.tsv")
    parser.add_argument("--reduce", help="an input to reduce")
    parser.add_argument("--summary", nargs="+", help="results files to sum up (nothing is run)")
    args = parser.parse_args()
    if args.summary:
        return summary(args.summary)
    if args.reduce:
        return reduce(args)
    folder = args.inputs
    if folder is None:
        folder = tempfile.mkdtemp(prefix="vorl-inputs-")
        subprocess.run([sys.executable, os.path.join(HERE, "generate.py"), "--seed", str(args.seed),
                        "--count", str(args.count), "--out", folder], check=True)
    inputs = sorted(os.path.join(folder, f) for f in os.listdir(folder) if f.endswith(".c"))
    return campaign(args, inputs)


if __name__ == "__main__":
    sys.exit(main())
