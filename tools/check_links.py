#!/usr/bin/env python3
"""Every relative link and picture in the README and doc/*.md must lead somewhere.

A link to a file must name one that exists; a link with #anchor must name a heading of its
page, spelled as GitHub spells heading anchors. Links to web addresses are left alone: they
cannot be checked offline. Prints each broken link as file:line and exits 1 when there is one.

    tools/check_links.py [ROOT]        (default: the folder above this script)
"""
import os
import re
import sys

LINK = re.compile(r"!?\[(?:[^\]\\]|\\.)*\]\(\s*<?([^)\s>]+)>?(?:\s+\"[^\"]*\")?\s*\)")
REFERENCE = re.compile(r"^\s{0,3}\[[^\]]+\]:\s*<?(\S+?)>?(?:\s+\"[^\"]*\")?\s*$")
HEADING = re.compile(r"^\s{0,3}(#{1,6})\s+(.*?)\s*#*\s*$")
FENCE = re.compile(r"^\s{0,3}(```|~~~)")
CODE_SPAN = re.compile(r"(`+)(?:(?!\1).)+?\1")
SCHEME = re.compile(r"^[a-zA-Z][a-zA-Z0-9+.-]*:")


def prose_lines(path):
    """The page's lines outside fenced code, with inline code blanked, numbered from 1."""
    fenced = False
    with open(path, encoding="utf-8") as page:
        for number, line in enumerate(page, 1):
            if FENCE.match(line):
                fenced = not fenced
                continue
            if not fenced:
                yield number, CODE_SPAN.sub(lambda m: " " * len(m.group(0)), line)


def slug(heading):
    text = re.sub(r"!?\[([^\]]*)\]\([^)]*\)", r"\1", heading)
    text = text.replace("`", "").lower()
    text = re.sub(r"[^\w\- ]", "", text)
    return text.replace(" ", "-")


def anchors(path):
    found = set()
    seen = {}
    for _, line in prose_lines(path):
        match = HEADING.match(line)
        if not match:
            continue
        base = slug(match.group(2))
        count = seen.get(base, 0)
        seen[base] = count + 1
        found.add(base if count == 0 else f"{base}-{count}")
    return found


def targets(path):
    for number, line in prose_lines(path):
        for match in LINK.finditer(line):
            yield number, match.group(1)
        match = REFERENCE.match(line)
        if match:
            yield number, match.group(1)


def broken_links(root):
    pages = [os.path.join(root, "README.md")]
    doc = os.path.join(root, "doc")
    if os.path.isdir(doc):
        pages += sorted(os.path.join(doc, name) for name in os.listdir(doc)
                        if name.endswith(".md"))
    anchor_cache = {}
    problems = []
    for page in pages:
        if not os.path.isfile(page):
            problems.append(f"{os.path.relpath(page, root)}: missing")
            continue
        for number, target in targets(page):
            if SCHEME.match(target) or target.startswith("//"):
                continue
            file_part, _, anchor = target.partition("#")
            linked = page if not file_part else os.path.normpath(
                os.path.join(os.path.dirname(page), file_part))
            where = f"{os.path.relpath(page, root)}:{number}: {target}"
            if not os.path.exists(linked):
                problems.append(f"{where}: no such file")
                continue
            if anchor and linked.endswith(".md"):
                if linked not in anchor_cache:
                    anchor_cache[linked] = anchors(linked)
                if anchor not in anchor_cache[linked]:
                    problems.append(f"{where}: no such heading")
    return problems


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    problems = broken_links(os.path.abspath(root))
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
