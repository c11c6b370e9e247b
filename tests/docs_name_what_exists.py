# SPDX-License-Identifier: MIT
# Every test and file that docs/*.md name exists; lists, by file and line, those that do
# not: in backticks, GoogleTest cases (Suite.Name, Suite.*), QtTest functions
# (SomeTest::function), CTest tests (in a table's Test column) and paths under the
# tree's folders; in code blocks, paths and the alternatives of `ctest -R`; relative
# links. The tests are this build's: ctest's list and the QtTest programs' functions;
# another system's count where tests/ defines them (TEST in a source this build does not
# compile, add_test(NAME ...)).
# Usage: docs_name_what_exists.py SOURCE_DIR BUILD_DIR CTEST [QTTEST_PROGRAM...]
import json
import re
import subprocess
import sys
from pathlib import Path

source, build = Path(sys.argv[1]).resolve(), Path(sys.argv[2])


def run(*command):
    return subprocess.run(command, capture_output=True, text=True, check=True).stdout


listed = json.loads(run(sys.argv[3], "--test-dir", build, "--show-only=json-v1"))["tests"]
ctests = {test["name"].split()[0] for test in listed}  # "Prefix/Suite.Name/Parameter  # GetParam() = ..."
gtests = {m.groups() for m in map(re.compile(r"(?:\w+/)?(\w+)\.(\w+)(?:/\w+)?").fullmatch, ctests) if m}
tags = [line.split() for program in sys.argv[4:] for line in run(program, "-datatags").splitlines()]
qttests = {f"{words[0].split('::')[-1]}::{words[1]}" for words in tags}  # "quvo::app::SomeTest function [tag]"
compiled = {Path(entry["file"]).resolve() for entry in json.loads((build / "compile_commands.json").read_text())}
for test_source in set((source / "tests").rglob("*.cpp")) - compiled:
    gtests |= set(re.findall(r"\bTEST(?:_F|_P)?\(\s*(\w+),\s*(\w+)\)", test_source.read_text(encoding="utf-8")))
ctests |= set(re.findall(r"add_test\(NAME ([\w-]+)\s", (source / "tests/CMakeLists.txt").read_text()))
known = ctests | {".".join(case) for case in gtests}
folders = {p.name for p in source.iterdir() if p.is_dir() and not p.name.startswith((".", "build"))}


def exists(name):
    if m := re.fullmatch(r"(\w+)\.(\w+|\*)", name):
        return any(suite == m[1] and m[2] in (case, "*") for suite, case in gtests)
    return name in (qttests if "::" in name else ctests)


missing, counts = [], [0, 0]  # test names, paths
for doc in sorted((source / "docs").glob("*.md")):
    fenced, test_column = False, None  # the Test column of the table being read
    for number, line in enumerate(doc.read_text(encoding="utf-8").splitlines(), 1):
        names, patterns, words, files = [], [], [], []
        if line.startswith("```"):
            fenced = not fenced
        elif fenced:
            words = line.split()
            if words[:1] == ["ctest"] and "-R" in words[:-1]:
                patterns = words[words.index("-R") + 1].strip("'\"").split("|")
        else:
            cells = line.strip().strip("|").split("|")
            if not line.startswith("|"):
                test_column = None
            elif test_column is None:
                test_column = next((i for i, cell in enumerate(cells) if cell.strip() == "Test"), -1)
            for i, span in ((i, span) for i, cell in enumerate(cells) for span in re.findall(r"`([^`]+)`", cell)):
                words += span.split()
                if re.fullmatch(r"[A-Z]\w*\.([A-Z]\w*|\*)|\w+Test::\w+", span) or (
                    i == test_column and re.fullmatch(r"[\w-]+", span)
                ):
                    names.append(span)
            files = [doc.parent / link for link in re.findall(r"\]\(([^)\s#:]+)[)#]", line)]
        paths = [word.removeprefix("./") for word in words]
        files += [source / path for path in paths if path.split("/")[0] in folders and "/" in path.rstrip("/")]
        where = f"{doc.relative_to(source)}:{number}"
        missing += [f"{where}: no test {name}" for name in names if not exists(name)]
        missing += [f"{where}: no test for ctest -R {p}" for p in patterns if not any(re.search(p, t) for t in known)]
        missing += [f"{where}: no file {file.relative_to(source)}" for file in files if not file.exists()]
        counts = [counts[0] + len(names) + len(patterns), counts[1] + len(files)]

if missing:
    sys.exit("The docs name tests or files that do not exist:\n  " + "\n  ".join(missing))
if not all(counts):
    sys.exit(f"the docs named nothing this reads: {counts[0]} test names, {counts[1]} paths")
print(f"the docs' {counts[0]} test names and {counts[1]} paths all exist")
