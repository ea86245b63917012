#!/usr/bin/env python3
"""Reads the JUnit report of a ctest run and fails when a test skipped that tests/intended-skips.txt
does not name, or skipped for another reason than the one given there. Prints every such skip."""
import re
import sys
import xml.etree.ElementTree as ET


def intended_skips(path):
    skips = {}
    with open(path, encoding="utf-8") as listing:
        for line in listing:
            line = line.strip()
            if line and not line.startswith("#"):
                name, _, reason = line.partition(" ")
                skips[name] = reason.strip()
    return skips


def skip_reason(case):
    """The reason a test gave: GoogleTest's message after "Skipped", an install test's "SKIP:" line,
    or else what ctest says (a test that did not run at all)."""
    output = case.findtext("system-out") or ""
    found = re.search(r": Skipped\n(.*?)\[  SKIPPED \]", output, re.S)
    if found:
        return " ".join(found.group(1).split())
    found = re.search(r"^SKIP: (.*)$", output, re.M)
    if found:
        return found.group(1).strip()
    skipped = case.find("skipped")
    return skipped.get("message", "") if skipped is not None else case.get("status", "")


def main(junit, listing):
    allowed = intended_skips(listing)
    unintended = []
    for case in ET.parse(junit).getroot().iter("testcase"):
        if case.get("status") == "run" or case.get("status") == "fail":
            continue
        name = case.get("name")
        reason = skip_reason(case)
        if allowed.get(name) != reason:
            unintended.append((name, reason))
    for name, reason in unintended:
        print(f"unintended skip: {name}: {reason}")
    if unintended:
        print(f"{len(unintended)} test(s) skipped that may not; {listing} names the only skips allowed")
        return 1
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: check-skips.py JUNIT_REPORT INTENDED_SKIPS")
    sys.exit(main(sys.argv[1], sys.argv[2]))
