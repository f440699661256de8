#!/usr/bin/env python3
"""Reads the JUnit files ctest wrote (--output-junit) for one group of tests and prints the
group's line of the summary, each failed and each skipped test by name (a skipped one with
its reason), and a last line "= passed failed skipped" for scripts/test.sh to add up."""
import re
import sys
import xml.etree.ElementTree as ET


def skip_reason(output, message):
    lines = output.splitlines()
    # GoogleTest: "file:line: Skipped", then the text given to GTEST_SKIP.
    for i, line in enumerate(lines):
        if line.endswith(": Skipped"):
            reason = []
            for text in lines[i + 1:]:
                if text.startswith("[  SKIPPED ]") or text.startswith("Google Test trace:"):
                    break
                reason.append(text.strip())
            return " ".join(r for r in reason if r) or "no reason given"
    if message and message != "SKIP_REGULAR_EXPRESSION_MATCHED":
        return message
    return "no reason given"


def main():
    group, files = sys.argv[1], sys.argv[2:]
    passed, failed, skipped = 0, [], []
    partial = []
    for name in files:
        try:
            root = ET.parse(name).getroot()
        except (OSError, ET.ParseError):
            continue
        for case in root.iter("testcase"):
            test = case.get("name", "?")
            output = case.findtext("system-out") or ""
            if case.find("failure") is not None or case.get("status") == "fail":
                failed.append(test)
            elif case.find("skipped") is not None or case.get("status") in ("notrun", "disabled"):
                element = case.find("skipped")
                message = element.get("message", "") if element is not None else ""
                skipped.append((test, skip_reason(output, message)))
            else:
                passed += 1
                # A QtTest program passes as one test even when some of its functions skip.
                for match in re.finditer(r"^SKIP\s+:\s+(\S+?\(.*?\))\s+(.*)$", output, re.M):
                    partial.append((test, match.group(1), match.group(2).strip()))
    print(f"{group}: {passed} passed, {len(failed)} failed, {len(skipped)} skipped")
    for test in failed:
        print(f"  failed: {test}")
    for test, reason in skipped:
        print(f"  skipped: {test}: {reason}")
    for test, function, reason in partial:
        print(f"  skipped inside {test}: {function}: {reason}")
    print(f"= {passed} {len(failed)} {len(skipped)}")


if __name__ == "__main__":
    main()
