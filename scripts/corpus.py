#!/usr/bin/env python3
"""Runs a fixed corpus of exams through `varelo generate`, `batch` and `edit` and keeps every
output with each command's stdout, stderr and exit status, so two builds can be compared file
for file: a change that must not change behaviour shows an empty diff.

  scripts/corpus.py run VARELO OUTDIR [--count N] [--seed S]
  scripts/corpus.py compare DIR_A DIR_B
"""
import argparse
import re
import filecmp
import json
import os
import random
import shutil
import subprocess
import sys

LAYOUTS = ["A3三栏", "A3双栏", "8开三栏", "8开双栏", "A4单栏", "B5单栏"]
LABELS = ["字母", "数字", "判断"]
NAMES = ["选择题", "单项选择", "多项选择", "判断题", "听力", "阅读理解（一）", "完形填空与阅读理解综合题目"]


def random_exam(rng):
    """The options of one random exam, as `varelo generate` takes them."""
    args = ["--layout", rng.choice(LAYOUTS)]
    if rng.random() < 0.6:
        args += ["--title", rng.choice(["期末考试", "中考试卷", "2026学年第一学期期中考试"])]
    if rng.random() < 0.6:
        args += ["--subtitle", rng.choice(["数学", "英语", "物理（A卷）"])]
    if rng.random() < 0.4:
        args += ["--setter", rng.choice(["李老师", "张三", ""])]
    args += ["--digits", str(rng.randint(1, 12))]
    groups = rng.choice([0, 1, 1, 2, 2, 3, 4])
    if groups == 0 and rng.random() < 0.5:
        args.append("--no-groups")
    for _ in range(groups):
        labels = rng.choice(LABELS)
        options = "2" if labels == "判断" else str(rng.randint(2, 9 if labels == "数字" else 7))
        if rng.random() < 0.15:
            options = ""
        items = str(rng.choice([1, 2, 5, 10, 12, 15, 20, 30, 45, 60]))
        points = rng.choice(["1", "2", "3", "1.5", "0.5", "2.50"])
        args += ["--group", f"{rng.choice(NAMES)},{items},{options},{points},{labels}"]
    for _ in range(rng.choice([0, 0, 1, 2, 3])):
        kind = rng.choice(["fill", "answer", "essay"])
        if kind == "fill":
            args += ["--fill", f"填空题,{rng.randint(1, 12)},{rng.randint(1, 4)},{rng.choice([1, 2, 3])}"]
        elif kind == "answer":
            args += ["--answer", f"解答题,{rng.randint(1, 6)},{rng.randint(3, 25)},{rng.choice([6, 10, 12])}"]
        else:
            args += ["--essay", f"作文,{rng.choice([100, 300, 600, 800])},{rng.choice([25, 40, 50])}"]
    return args


# Settings the dialog and the command line refuse, and texts kept as typed.
ODD = [
    ["--digits", "0"], ["--digits", "13"], ["--digits", "030"], ["--digits", "2.5"],
    ["--digits", "9.5"], ["--digits", "abc"], ["--digits", ""], ["--digits", "-1"],
    ["--digits", "１２"], ["--layout", "A5"], ["--layout", ""], ["--layout", "a3三栏"],
    ["--title", ""], ["--subtitle", ""], ["--title", "", "--subtitle", ""],
    ["--group", ",30,4,1"], ["--group", "选择题,,4,1"], ["--group", "选择题,030,4,1"],
    ["--group", "选择题,30.0,4,1"], ["--group", "选择题,2.5,4,1"], ["--group", "选择题,30,4,1.50"],
    ["--group", "选择题,30,4,"], ["--group", "选择题,30,4,abc"], ["--group", "选择题,30,27,1"],
    ["--group", "选择题,30,0,1"], ["--group", "选择题,30,10,1,数字"], ["--group", "选择题,30,3,1,判断"],
    ["--group", "选择题,-1,4,1"], ["--group", "选择题,0,4,1"], ["--group", "选择题,99999,4,1"],
    ["--group", "选择题,900,4,1"], ["--group", "选择题,30,4,1e308"], ["--group", "选择题,30,4,1,其他"],
    ["--group", "选择题,30,4"], ["--group", "选择题,30,4,1,字母,x"], ["--group", "选择题，一,30,4,1"],
    ["--group", "一二三四五六七八九十一二三四五六七八九十一二三四五六七八九十一二三四五六七八九十,5,4,1"],
    ["--group", "选择题,30,4,-2"], ["--group", "选择题,30,4,0"], ["--group", "选择题,30,4, 2"],
    ["--fill", "填空题,0,1,2"], ["--fill", "填空题,10,0,2"], ["--fill", "填空题,10,1,-2"],
    ["--fill", "填空题,400,1,2"], ["--fill", "填空题,10,40,2"], ["--answer", "解答题,4,200,10"],
    ["--answer", "解答题,40,20,10"], ["--answer", "解答题,1,0,10"], ["--essay", "作文,0,50"],
    ["--essay", "作文,9000,50"], ["--essay", "作文,600,1e308"], ["--fill", "填空题,10,1"],
    ["--essay", "作文,600"], ["--answer", "解答题,a,20,10"], ["--fill", "填空题,10,1,2.25"],
    ["--unknown"], ["--layout"], ["--dpi", "5"], ["--dpi", "2000"], ["--group", "判断,10,,1,判断"],
    ["--group", "数字,10,,1,数字"], ["--no-groups", "--group", "选择题,5,4,1"],
]

README_EXAMPLES = [
    ["--layout", "A3三栏", "--title", "中考试卷", "--subtitle", "英语", "--setter", "王老师",
     "--digits", "9", "--group", "选择题,30,4,1"],
    ["--group", "选择题,12,4,3", "--fill", "填空题,10,1,2", "--answer", "解答题,4,20,10",
     "--essay", "作文,600,50"],
    ["--layout", "A3三栏", "--title", "期末考试", "--subtitle", "语文", "--group", "单项选择,12,4,3",
     "--group", "多项选择,4,4,5", "--fill", "填空题,10,1,2", "--answer", "解答题,4,20,10",
     "--essay", "作文,600,50"],
    ["--layout", "A3三栏", "--group", "单选,60,4,1", "--group", "多选,40,5,2",
     "--group", "判断,30,2,1,判断"],
    ["--group", "判断题,10,2,1,判断"],
    ["--layout", "8开双栏", "--title", "期中考试", "--subtitle", "物理", "--digits", "10",
     "--group", "单项选择,15,4,3", "--group", "多项选择,5,5,4"],
    ["--title", "期末考试", "--subtitle", "数学", "-o", "x"],
    ["--layout", "A4单栏"],
    ["--layout", "A4单栏", "--digits", "2", "--group", "选择题,2,4,1"],
    ["--group", "选择题,20,4,2", "--group", "判断题,10,2,1.5,判断"],
    [],
] + [["--layout", layout] for layout in LAYOUTS]

EDITS = [
    ["--select", "70,3:126,21", "--composition", "--select", "68,3:68,21", "--line"],
    ["--select", "30,3:40,21", "--box"],
    ["--select", "92,3:92,21", "--line"],
    ["--select", "95,3:99,21", "--merge"],
    ["--select", "70,3:90,21", "--composition"],
    ["--select", "9,13:20,21", "--merge"],
    ["--select", "9,13:20,21", "--merge", "--force"],
    ["--select", "1,1:5,5", "--composition"],
    ["--select", "70,3:75,21", "--gridlines"],
    ["--select", "200,1:201,2", "--box"],
]

BATCH_JOBS = [
    [{"title": "期末考试", "subtitle": "数学", "digits": 8,
      "groups": [{"name": "选择题", "items": 20, "options": 4, "points": 3}]},
     {"layout": "A4单栏", "subtitle": "英语", "output": "english.docx"}],
    [{"layout": "A4单栏", "subtitle": "英语", "output": "english.docx", "pdf": False,
      "sections": [{"kind": "填空", "name": "填空题", "items": 10, "blanks": 1, "points": 2},
                   {"kind": "作文", "name": "书面表达", "chars": 100, "points": 25}]}],
    [{"digits": "030"}, {"digits": 2.5}, {"groups": [{"name": "x", "items": "30.0", "points": "1.50"}]},
     {"groups": []}, {"groups": [{"name": "判断", "items": 10, "labels": "判断"}]},
     {"unknown": 1}, {"layout": "A5"}, {"subtitle": ""}, {"digits": 13},
     {"sections": [{"kind": "解答", "name": "解答题", "items": 2, "rows": 10, "points": 12, "blanks": 1}]},
     {"groups": [{"name": "选择题", "items": 900, "options": 4, "points": 1}]}],
]


# Sheets that print page codes name their exam by an id, fresh for every new exam: builds that
# know the option get this one, so their outputs repeat. Sheets without codes record no id.
EXAM_ID = "0123456789abcdef"


def fixed_id(varelo):
    """The options that fix the exam id, for a build that takes them."""
    res = subprocess.run([varelo, "generate", "--help"], capture_output=True)
    return ["--exam-id", EXAM_ID] if b"--exam-id" in res.stdout else []


def run(cmd, out_dir, name, cwd):
    res = subprocess.run(cmd, cwd=cwd, capture_output=True, env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
    # The elapsed time a summary line states is the one thing that may differ between runs.
    stdout = re.sub(rb" in [0-9]+\.[0-9]+ s", b" in N s", res.stdout)
    with open(os.path.join(out_dir, name + ".status"), "wb") as f:
        f.write(b"exit %d\n--- stdout\n" % res.returncode + stdout + b"\n--- stderr\n" + res.stderr)
    return res.returncode


ID = []  # fixed_id() of the build being run


def generate_case(varelo, out, name, args, png):
    d = os.path.join(out, name)
    os.makedirs(d)
    # Extras only where the sheet is made; the template in both formats.
    extra = ["-o", "sheet.docx", "--omr", "sheet-omr.json"]
    if png:
        extra += ["--png", "page", "--dpi", "40"]
    args = [a for a in args]
    if "-o" in args:
        i = args.index("-o")
        del args[i:i + 2]
    code = run([varelo, "generate"] + ID + args + extra, d, "generate", d)
    if code == 0:
        run([varelo, "generate"] + ID + args + ["-o", "again.docx", "--omr", "checker.json",
                                           "--omr-format", "omrchecker", "--dpi", "100"], d, "omrchecker", d)
    return code


def cmd_run(a):
    varelo = os.path.abspath(a.varelo)
    out = os.path.abspath(a.outdir)
    if os.path.exists(out):
        shutil.rmtree(out)
    os.makedirs(out)
    rng = random.Random(a.seed)
    ID[:] = fixed_id(varelo)
    cases = 0
    for i, args in enumerate(README_EXAMPLES):
        generate_case(varelo, out, f"readme-{i:02d}", args, png=True)
        cases += 1
    for i, args in enumerate(ODD):
        generate_case(varelo, out, f"odd-{i:02d}", args, png=False)
        cases += 1
    made = 0
    for i in range(a.count):
        args = random_exam(rng)
        with open(os.path.join(out, f"random-{i:03d}.args"), "w") as f:
            f.write(json.dumps(args, ensure_ascii=False) + "\n")
        if generate_case(varelo, out, f"random-{i:03d}", args, png=(i % 10 == 0)) == 0:
            made += 1
        cases += 1
    # Edits of the example sheet and of a sheet with written sections, every tool.
    for base_name, base_args in [("example", []), ("written", README_EXAMPLES[2])]:
        d = os.path.join(out, "edit-" + base_name)
        os.makedirs(d)
        run([varelo, "generate"] + ID + base_args + ["-o", "base.docx"], d, "base", d)
        for i, tools in enumerate(EDITS):
            run([varelo, "edit", "base.docx", "-o", f"edit-{i:02d}.docx", "--omr", f"edit-{i:02d}-omr.json"]
                + tools, d, f"edit-{i:02d}", d)
            cases += 1
    for i, jobs in enumerate(BATCH_JOBS):
        d = os.path.join(out, f"batch-{i}")
        os.makedirs(d)
        with open(os.path.join(d, "jobs.json"), "w") as f:
            if ID:
                jobs = [dict(j, examId=EXAM_ID) if isinstance(j, dict) else j for j in jobs]
            json.dump(jobs, f, ensure_ascii=False)
        run([varelo, "batch", "jobs.json", "-o", "sheets", "--omr", "--threads", "1"], d, "batch", d)
        cases += 1
    print(f"{cases} cases ({made} of {a.count} random exams made a sheet) in {out}")


def cmd_compare(a):
    files = differ = 0
    only = []
    for root, _, names in os.walk(a.a):
        rel = os.path.relpath(root, a.a)
        for n in sorted(names):
            pa, pb = os.path.join(root, n), os.path.join(a.b, rel, n)
            files += 1
            if not os.path.exists(pb):
                only.append(os.path.join(rel, n))
            elif not filecmp.cmp(pa, pb, shallow=False):
                differ += 1
                print("differs:", os.path.join(rel, n))
    for root, _, names in os.walk(a.b):
        rel = os.path.relpath(root, a.b)
        for n in names:
            if not os.path.exists(os.path.join(a.a, rel, n)):
                only.append("(second only) " + os.path.join(rel, n))
    for o in only:
        print("missing:", o)
    print(f"{files} files compared: {differ} differ, {len(only)} missing")
    return 1 if differ or only else 0


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = p.add_subparsers(dest="cmd", required=True)
    r = sub.add_parser("run")
    r.add_argument("varelo")
    r.add_argument("outdir")
    r.add_argument("--count", type=int, default=240)
    r.add_argument("--seed", type=int, default=29)
    c = sub.add_parser("compare")
    c.add_argument("a")
    c.add_argument("b")
    a = p.parse_args()
    sys.exit(cmd_run(a) if a.cmd == "run" else cmd_compare(a))


if __name__ == "__main__":
    main()
