#!/usr/bin/env python3
"""Checks the shape of src/: no file over 400 lines, no function over 60
lines, and no cycle between the folders in the include graph.

Usage: check_structure.py [SRC_DIR]   (default: the src/ beside this script)
Exit status 0 when everything holds, 1 otherwise. Files listed in KNOWN are
reported but do not fail the check: they belong to work still to come.
"""
import os
import re
import sys

MAX_FILE_LINES = 400
MAX_FUNCTION_LINES = 60

# Known breaches, each to be fixed by its folder's owner: path -> reason.
KNOWN = {
    "settings/plot_settings.cpp": "SettingTable is the settings table itself, one row a line",
}

CONTROL = re.compile(r"^(if|for|while|switch|catch|do|else|return)\b")
NOT_FUNCTION = re.compile(r"^(?:template\s*<.*>\s*)?(namespace|class|struct|union|enum|extern)\b")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_0-9]+)/[^"]+"', re.M)


def strip_code(text):
    """Blanks comments, string and character literals, keeping line breaks."""
    out = []
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            j = text.find("\n", i)
            i = n if j < 0 else j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            out.append("\n" * text.count("\n", i, j))
            i = j
        elif c == 'R' and text.startswith('R"', i) and (i == 0 or not text[i - 1].isalnum()):
            k = text.find("(", i)
            delim = ")" + text[i + 2:k] + '"'
            j = text.find(delim, k)
            j = n if j < 0 else j + len(delim)
            out.append('""' + "\n" * text.count("\n", i, j))
            i = j
        elif c in "\"'":
            j = i + 1
            while j < n and text[j] != c:
                j += 2 if text[j] == "\\" else 1
            out.append(c + c)
            i = j + 1
        elif c == "#" and (i == 0 or text[i - 1] == "\n"):
            j = text.find("\n", i)  # preprocessor line (no continuation in this code)
            i = n if j < 0 else j
        else:
            out.append(c)
            i += 1
    return "".join(out)


def is_function_header(header):
    h = " ".join(header.split())
    if not h or "(" not in h or CONTROL.match(h) or NOT_FUNCTION.match(h):
        return False
    if h.endswith("=") or h.endswith(",") or h.endswith("(") or h.endswith("return"):
        return False
    # A lambda or an initializer inside an expression is part of its function.
    return re.search(r"\)\s*(const|noexcept|override|final|mutable|->[^{]*|:.*|\s)*$", h) is not None


def long_functions(path):
    code = strip_code(open(path, encoding="utf-8").read())
    found = []
    header_start, header = None, []
    line = 1
    stack = []  # for each open brace: (is_function, start line, name)
    for ch in code:
        if ch == "\n":
            line += 1
        if stack and stack[-1][0]:
            # Inside a function: only braces matter.
            if ch == "{":
                stack.append((True, None, None))
            elif ch == "}":
                _, start, name = stack.pop()
                if start is not None and line - start + 1 > MAX_FUNCTION_LINES:
                    found.append((name, start, line - start + 1))
            continue
        if ch == "{":
            text = "".join(header)
            if is_function_header(text):
                name = re.sub(r"\s+", " ", text.split("(")[0].strip()).split(" ")[-1]
                stack.append((True, header_start or line, name))
            else:
                stack.append((False, None, None))
            header, header_start = [], None
        elif ch == "}" or ch == ";":
            if ch == "}" and stack:
                stack.pop()
            header, header_start = [], None
        else:
            if header_start is None and not ch.isspace():
                header_start = line
            header.append(ch)
    return found


def find_cycle(edges):
    """A folder cycle as a list, or None."""
    state = {}

    def visit(node, path):
        state[node] = 1
        for nxt in sorted(edges.get(node, ())):
            if state.get(nxt) == 1:
                return path[path.index(nxt):] + [nxt]
            if nxt not in state:
                cycle = visit(nxt, path + [nxt])
                if cycle:
                    return cycle
        state[node] = 2
        return None

    for node in sorted(edges):
        if node not in state:
            cycle = visit(node, [node])
            if cycle:
                return cycle
    return None


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    src = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "src"))
    problems, known = [], []
    edges = {}
    for root, _, files in os.walk(src):
        for name in sorted(files):
            if not name.endswith((".cpp", ".h")):
                continue
            path = os.path.join(root, name)
            rel = os.path.relpath(path, src)
            folder = rel.split(os.sep)[0]
            text = open(path, encoding="utf-8").read()
            for target in INCLUDE.findall(text):
                if target != folder:
                    edges.setdefault(folder, set()).add(target)
            report = known if rel in KNOWN else problems
            lines = text.count("\n")
            if lines > MAX_FILE_LINES:
                report.append(f"src/{rel}: {lines} lines (at most {MAX_FILE_LINES})")
            for fn, start, count in long_functions(path):
                report.append(f"src/{rel}:{start}: {fn} has {count} lines (at most {MAX_FUNCTION_LINES})")
    cycle = find_cycle(edges)
    if cycle:
        problems.append("folder include cycle: " + " -> ".join(cycle))
    for p in known:
        print("known, left to its folder's owner: " + p)
    for p in problems:
        print(p)
    if problems:
        return 1
    print("src/ holds its shape: files, functions and folder includes")
    return 0


if __name__ == "__main__":
    sys.exit(main())
