#!/usr/bin/env python3
"""Mutated inputs for vorl, made the ways users err, deterministic from a seed.

    tests/fuzz/generate.py --seed 20240611 --count 3000 --out DIR [SOURCES...]

Writes DIR/m00000.c, DIR/m00001.c, ... and DIR/manifest.tsv (one line per
input: its name, the source it came from and the mutations applied). The
sources default to examples/*.c, examples/polybench/*.c and tests/programs/*.c.
The same seed and sources give the same inputs, byte for byte.
"""
import argparse
import os
import re
import sys

from random import Random

TOP = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

HUGE = ["1000000", "1000000000", "1000000001", "2147483647", "2147483648", "4294967296",
        "1000000000000", "9223372036854775807", "99999999999999999999999"]
ODD_SUBSCRIPTS = ["[2147483647][2147483647]", "[1000000000][1]", "[-1][1]", "[1][-5]", "[0][0]",
                  "[i][1]", "[N][1]", "[1+1][2]", "[2]", "[2][1][3]", "[]", "[][1]", "[2", "[2]]",
                  "[[2]]", "(2)(1)", "[1.5][1]", "[0x10][1]", "['a'][1]", "[\"x\"][1]",
                  "[1<<40][1]", "[2147483647*2][1]", "[99999999999999999999][1]", "[1] [1]",
                  "[1][1] extra", "[1][1];", "[1][1] // note", "[1][1] /* note", "[sizeof(int)][1]",
                  "[-2147483648][1]", "[1e9][1]", "[ 3 ][ 1 ]", "[1,2][1]", "[1]\\", ""]
KINDS = ["latency", "input", "output", "resource", "latencyX", "Latency", "scop", "omp parallel for"]
BOUND_FORMS = ["{v} != {b}", "{v} < {b} || {v} < 3", "{v} < (long){b}", "{v} < f({b})",
               "{v} < {huge}", "{v} <= {huge}", "{v} < {b} / 2", "{v} < {b} % 3", "{v} < {b} * {b}",
               "{v} * {v} < {b}", "{v} < {b} && {v} < {huge}", "{v} > {b}", "{v} < -{huge}",
               "{v} < {b} >> 1", "{v} < a[0]", "{v} < {b} / 0", "{v} < {b} / -2", "1",
               "{v} < {b} - {huge}", "{v} < {huge} * {huge}", "{v} == {b}", "{b} > {v}",
               "{v} < 0", "{v} < {b} + 0.5", "{v} < {b}++"]
STEP_FORMS = ["{v} += 2", "{v}--", "{v} = {v} * 2", "{v} += {b}", "", "{v} += 0", "{v} -= -1",
              "{v}++, {v}++", "{v} = {v} + {huge}", "f({v})", "{v} += {huge}"]
INIT_FORMS = ["{v} = {b}", "{v} = {huge}", "{v} = -{huge}", "{v} = -5", "", "{v} = {v}",
              "{v} = a[0]", "{v} = 0, {b} = 3", "{v} = 1.5"]
SUBSCRIPT_FORMS = ["{v} * {v}", "{v} / 2", "{v} % 2", "-1", "{huge}", "{v} + {huge}", "{v}][{v}",
                   "{v}++", "{v} = 0", "(int){v}", "a[{v}]", "{v} - {huge}", "-{huge} * {v}"]
CONTROL = ["while", "do", "switch", "goto", "break", "continue", "return", "label", "else"]
JUNK_TOKENS = ["(", ")", "[", "]", "{", "}", ";", ",", "#", "\\", "@", "/*", "*/", "\"", "'", "=",
               "==", "?", ":", "int", "for", "if", "else", "0", "1000000000000", "__vorl_latency",
               "#pragma latency [1][1]", "\n#pragma latency [1][1]\n", "\n#pragma resource [1][1]\n"]
NAMES = ["i", "j", "k", "N", "M", "a", "b", "A", "B", "C", "s", "main", "x", "__vorl_latency",
         "latency", "resource", "input", "output", "int", "for", "undeclared", "t_red_0", "t_0", "_"]


class Mutator:
    def __init__(self, rng, text):
        self.rng = rng
        self.text = text

    # Helpers -------------------------------------------------------------
    def lines(self):
        return self.text.split("\n")

    def set_lines(self, lines):
        self.text = "\n".join(lines)

    def huge(self):
        return self.rng.choice(HUGE)

    def pick(self, pattern, flags=0):
        found = list(re.finditer(pattern, self.text, flags))
        return self.rng.choice(found) if found else None

    def replace(self, match, group, new):
        self.text = self.text[:match.start(group)] + new + self.text[match.end(group):]

    def loop_headers(self):
        return list(re.finditer(r"for \(([^;]*);([^;]*);([^)]*)\)", self.text))

    def counter_and_bound(self, header):
        m = re.search(r"([A-Za-z_]\w*)\s*(<=|<|>=|>)\s*(.+)", header.group(2))
        if m:
            return m.group(1), m.group(3).strip()
        return "i", "N"

    def assignment_lines(self):
        return [k for k, l in enumerate(self.lines())
                if re.match(r"\s*[A-Za-z_]\w*(\[[^]]*\])*\s*[-+*/]?=[^=]", l) and "for" not in l]

    def pragma_lines(self):
        return [k for k, l in enumerate(self.lines()) if l.lstrip().startswith("#pragma")]

    # Mutations -----------------------------------------------------------
    def pragma_delete(self):
        ls = self.lines()
        p = self.pragma_lines()
        if p:
            del ls[self.rng.choice(p)]
        self.set_lines(ls)

    def pragma_duplicate(self):
        ls = self.lines()
        p = self.pragma_lines()
        if p:
            k = self.rng.choice(p)
            ls.insert(k, ls[k])
        self.set_lines(ls)

    def pragma_subscripts(self):
        m = self.pick(r"#pragma\s+\w+\s*((\[[^]\n]*\])+)")
        if m:
            self.replace(m, 1, " " + self.rng.choice(ODD_SUBSCRIPTS))

    def pragma_value(self):
        m = self.pick(r"#pragma\s+(?:latency|resource)\s*\[[^]\n]*\]\s*\[([^]\n]*)\]")
        if m:
            self.replace(m, 1, self.rng.choice(HUGE + ["0", "-1", "N", "i"]))

    def pragma_kind(self):
        m = self.pick(r"#pragma\s+(\w+)")
        if m:
            self.replace(m, 1, self.rng.choice(KINDS))

    def pragma_move(self):
        ls = self.lines()
        p = self.pragma_lines()
        if p:
            line = ls.pop(self.rng.choice(p))
            ls.insert(self.rng.randrange(len(ls) + 1), line)
        self.set_lines(ls)

    def bound(self):
        headers = self.loop_headers()
        if not headers:
            return
        h = self.rng.choice(headers)
        v, b = self.counter_and_bound(h)
        form = self.rng.choice(BOUND_FORMS).format(v=v, b=b, huge=self.huge())
        self.text = self.text[:h.start(2)] + " " + form + self.text[h.end(2):]

    def step(self):
        headers = self.loop_headers()
        if not headers:
            return
        h = self.rng.choice(headers)
        v, b = self.counter_and_bound(h)
        form = self.rng.choice(STEP_FORMS).format(v=v, b=b, huge=self.huge())
        self.text = self.text[:h.start(3)] + " " + form + self.text[h.end(3):]

    def init(self):
        headers = self.loop_headers()
        if not headers:
            return
        h = self.rng.choice(headers)
        v, b = self.counter_and_bound(h)
        form = self.rng.choice(INIT_FORMS).format(v=v, b=b, huge=self.huge())
        self.text = self.text[:h.start(1)] + form + self.text[h.end(1):]

    def constant_bound(self):
        # A loop over a constant range of a huge size.
        headers = self.loop_headers()
        if not headers:
            return
        h = self.rng.choice(headers)
        v, b = self.counter_and_bound(h)
        self.text = self.text[:h.start(2)] + " " + v + " < " + self.huge() + self.text[h.end(2):]

    def subscript(self):
        m = self.pick(r"\b[A-Za-z_]\w*\[([^]\[\n]+)\]")
        if m and not self.text[:m.start()].rstrip().endswith("#pragma"):
            v = re.findall(r"[A-Za-z_]\w*", m.group(1))
            form = self.rng.choice(SUBSCRIPT_FORMS).format(v=v[0] if v else "i", huge=self.huge())
            self.replace(m, 1, form)

    def number(self):
        m = self.pick(r"\b(\d+)\b")
        if m:
            self.replace(m, 1, self.rng.choice(HUGE + ["-1", "0", "0x7fffffff", "1.5", "'a'",
                                                      "1e10", "077", "0b101"]))

    def declaration(self):
        m = self.pick(r"int\s+(\w+)\s*=\s*(\d+)\s*;")
        if m:
            self.replace(m, 2, self.rng.choice(HUGE + ["-5", "0", "N", "1.5", "f()"]))
        else:
            self.text = "int N = " + self.huge() + ";\n" + self.text

    def line_delete(self):
        ls = self.lines()
        if ls:
            del ls[self.rng.randrange(len(ls))]
        self.set_lines(ls)

    def line_duplicate(self):
        ls = self.lines()
        if ls:
            k = self.rng.randrange(len(ls))
            ls.insert(k, ls[k])
        self.set_lines(ls)

    def character(self):
        chars = [k for k, c in enumerate(self.text) if c in "{};()[],"]
        if not chars:
            return
        k = self.rng.choice(chars)
        if self.rng.random() < 0.5:
            self.text = self.text[:k] + self.text[k + 1:]
        else:
            self.text = self.text[:k] + self.text[k] + self.text[k:]

    def junk(self):
        k = self.rng.randrange(len(self.text) + 1)
        self.text = self.text[:k] + self.rng.choice(JUNK_TOKENS) + self.text[k:]

    def rename(self):
        m = self.pick(r"\b([A-Za-z_]\w*)\b")
        if not m:
            return
        old, new = m.group(1), self.rng.choice(NAMES)
        if self.rng.random() < 0.5:
            self.replace(m, 1, new)
        else:
            self.text = re.sub(r"\b%s\b" % re.escape(old), new, self.text)

    def control(self):
        ls = self.lines()
        a = self.assignment_lines()
        if not a:
            return
        k = self.rng.choice(a)
        line = ls[k]
        indent = line[:len(line) - len(line.lstrip())]
        what = self.rng.choice(CONTROL)
        if what == "while":
            ls[k] = indent + "while (x < 3) { " + line.strip() + " }"
        elif what == "do":
            ls[k] = indent + "do { " + line.strip() + " } while (0);"
        elif what == "switch":
            ls[k] = indent + "switch (x) { case 0: " + line.strip() + " break; }"
        elif what == "goto":
            ls[k] = line + " goto done; done: ;"
        elif what == "label":
            ls[k] = indent + "again: " + line.strip()
        elif what == "else":
            ls[k] = indent + "if (N != 3) " + line.strip() + " else " + line.strip()
        else:
            ls.insert(k + 1, indent + what + ";")
        self.set_lines(ls)

    def nest(self):
        ls = self.lines()
        a = self.assignment_lines()
        if not a:
            return
        k = self.rng.choice(a)
        depth = self.rng.choice([20, 200, 1100, 3000])
        if self.rng.random() < 0.5:
            opening = "".join("for (int q%d = 0; q%d < 2; q%d++) " % (d, d, d) for d in range(depth))
            if depth > 200:
                opening = "if (1) " * depth
            ls[k] = opening + ls[k].strip()
        else:
            m = re.match(r"(\s*[^=]*=)(.*);", ls[k])
            if m:
                ls[k] = m.group(1) + " " + "(" * depth + m.group(2) + ")" * depth + ";"
        self.set_lines(ls)

    def long_expression(self):
        ls = self.lines()
        a = self.assignment_lines()
        if not a:
            return
        k = self.rng.choice(a)
        m = re.match(r"(\s*[^=]*=)(.*);", ls[k])
        if m:
            terms = self.rng.choice([50, 1000, 10000, 30000])
            op = self.rng.choice([" + ", " * ", " - ", ", "])
            ls[k] = m.group(1) + op.join([m.group(2).strip()] * terms) + ";"
        self.set_lines(ls)

    def repeat_loops(self):
        # Many one-statement loops in a row, or many statements in one loop.
        count = self.rng.choice([10, 20, 50, 100])
        body = "".join("#pragma latency [1][1]\n    x[%d][i] = x[%d][i] + 1;\n" % (s, s)
                       for s in range(count))
        if self.rng.random() < 0.5:
            loops = "".join("  for (i = 0; i < N; i++) {\n#pragma latency [1][1]\n"
                            "    x[%d][i] = x[%d][i] + x[%d][i];\n  }\n" % (s, s, max(s - 1, 0))
                            for s in range(count))
        else:
            loops = "  for (i = 0; i < N; i++) {\n" + body + "  }\n"
        self.text = ("int N = 10;\ndouble x[%d][10];\nint main(void)\n{\n  int i;\n"
                     "#pragma resource [2][2]\n%s  return 0;\n}\n" % (count, loops))

    def macro(self):
        m = self.pick(r"\b(N)\b")
        if m:
            self.text = "#define BIG " + self.huge() + "\n#define F(x) ((x) * (x))\n" + self.text
            self.replace(m, 1, self.rng.choice(["BIG", "F(N)", "F(BIG)", "UNDEFINED_MACRO"]))

    def include(self):
        self.text = self.rng.choice(["#include \"missing.h\"\n", "#include <nonexistent_header.h>\n",
                                     "#include \"/dev/zero\"\n", "#include <stdio.h>\n",
                                     "#include __FILE__\n"]) + self.text

    def truncate(self):
        self.text = self.text[:self.rng.randrange(len(self.text) + 1)]

    def concatenate(self, other):
        self.text = self.text + "\n" + other

    def whole(self):
        what = self.rng.choice(["empty", "garbage", "nul", "blank", "only pragmas", "no main",
                                "long line", "utf8"])
        if what == "empty":
            self.text = ""
        elif what == "garbage":
            # Raw bytes: those above 127 are written as they are (surrogateescape).
            data = [self.rng.randrange(1, 256) for _ in range(self.rng.randrange(1, 400))]
            self.text = "".join(chr(b) if b < 128 else chr(0xDC00 + b) for b in data)
        elif what == "nul":
            self.text = self.text[:40] + "\0" + self.text[40:]
        elif what == "blank":
            self.text = "\n\n   \n"
        elif what == "only pragmas":
            self.text = "#pragma resource [1][1]\n#pragma latency [1][1]\n"
        elif what == "no main":
            self.text = "int N = 4;\ndouble a[4];\n"
        elif what == "long line":
            self.text = "int " + "x" * 100000 + ";\n" + self.text
        else:
            self.text = "/* \u00e9t\u00e9 */\n" + self.text.replace("a[", "\u00e0[", 1)


MUTATIONS = [("pragma_delete", 6), ("pragma_duplicate", 5), ("pragma_subscripts", 8),
             ("pragma_value", 5), ("pragma_kind", 3), ("pragma_move", 4), ("bound", 9), ("step", 5),
             ("init", 4), ("constant_bound", 4), ("subscript", 6), ("number", 5), ("declaration", 3),
             ("line_delete", 5), ("line_duplicate", 4), ("character", 6), ("junk", 4), ("rename", 5),
             ("control", 6), ("nest", 2), ("long_expression", 2), ("repeat_loops", 1), ("macro", 2),
             ("include", 1), ("truncate", 2), ("concatenate", 1), ("whole", 1)]


def sources(given):
    if given:
        return sorted(given)
    found = []
    for folder in ["examples", "examples/polybench", "tests/programs"]:
        path = os.path.join(TOP, folder)
        if os.path.isdir(path):
            found += sorted(os.path.join(path, f) for f in os.listdir(path) if f.endswith(".c"))
    return found


def mutate(rng, texts, names):
    k = rng.randrange(len(texts))
    m = Mutator(rng, texts[k])
    applied = []
    total = sum(w for _, w in MUTATIONS)
    for _ in range(rng.choice([1, 1, 1, 2, 2, 3])):
        r = rng.randrange(total)
        for name, weight in MUTATIONS:
            if r < weight:
                break
            r -= weight
        if name == "concatenate":
            m.concatenate(texts[rng.randrange(len(texts))])
        else:
            getattr(m, name)()
        applied.append(name)
    return m.text, os.path.relpath(names[k], TOP), applied


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--seed", type=int, default=20240611)
    parser.add_argument("--count", type=int, default=3000)
    parser.add_argument("--out", required=True)
    parser.add_argument("sources", nargs="*")
    args = parser.parse_args()
    names = sources(args.sources)
    if not names:
        sys.exit("generate.py: no source programs")
    texts = [open(n, encoding="utf-8").read() for n in names]
    rng = Random(args.seed)
    os.makedirs(args.out, exist_ok=True)
    with open(os.path.join(args.out, "manifest.tsv"), "w", encoding="utf-8") as manifest:
        for index in range(args.count):
            text, source, applied = mutate(rng, texts, names)
            name = "m%05d.c" % index
            with open(os.path.join(args.out, name), "w", encoding="utf-8", errors="surrogateescape",
                      newline="") as f:
                f.write(text)
            manifest.write("%s\t%s\t%s\n" % (name, source, ",".join(applied)))


if __name__ == "__main__":
    main()
