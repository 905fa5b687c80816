#!/usr/bin/python3
"""Runs the scenario program of two builds and compares their lines: the
same result code and digest for every scenario, or the first differences.

    compare_scenarios.py [--reference-runner EMULATOR] --reference PROGRAM \\
        [--runner EMULATOR] --candidate PROGRAM [--candidate-argument ARG]... \\
        [--shared-only]

for instance --reference build/native/bin/ostrel-scenarios --runner
/usr/lib/wine/wine64 --candidate build/win64/ostrel-scenarios.exe.

--shared-only leaves out the scenarios in which the 12.10 interface answers
differently (marked "own"), for comparing the i386 variant with x86-64.
"""

import argparse
import os
import subprocess
import sys


def run(command, what):
    try:
        completed = subprocess.run(command, capture_output=True, timeout=500)
    except FileNotFoundError as error:
        sys.exit("%s: cannot run %s: %s" % (what, command, error))
    except subprocess.TimeoutExpired:
        sys.exit("%s: %s did not finish within 500 seconds" % (what, " ".join(command)))
    output = completed.stdout.decode("utf-8", "replace").replace("\r\n", "\n")
    if completed.returncode != 0:
        sys.stdout.write(output)
        sys.stdout.write(completed.stderr.decode("utf-8", "replace"))
        sys.exit("%s: %s exited with %d" % (what, " ".join(command), completed.returncode))
    lines = {}
    for line in output.splitlines():
        fields = line.split()
        if len(fields) == 4 and fields[1] in ("shared", "own"):
            lines[fields[0]] = (fields[1], fields[2], fields[3])
    if not lines:
        sys.exit("%s: %s printed no scenarios" % (what, " ".join(command)))
    return lines


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--reference", required=True)
    parser.add_argument("--reference-runner", help="emulator that runs the reference")
    parser.add_argument("--candidate", required=True)
    parser.add_argument("--runner", help="emulator that runs the candidate")
    parser.add_argument("--candidate-argument", action="append", default=[])
    parser.add_argument("--shared-only", action="store_true")
    args = parser.parse_args()

    if not os.path.isfile(args.reference):
        sys.exit("no reference program %s: build the native preset first" % args.reference)
    reference = run(([args.reference_runner] if args.reference_runner else []) + [args.reference], "reference")
    if args.candidate_argument and not os.path.isfile(args.candidate_argument[-1]):
        sys.exit("no %s: build it first" % args.candidate_argument[-1])
    candidate_command = ([args.runner] if args.runner else []) + [args.candidate] + args.candidate_argument
    candidate = run(candidate_command, "candidate")

    compared = 0
    differences = []
    for name, (kind, code, digest) in reference.items():
        if args.shared_only and kind != "shared":
            continue
        compared += 1
        other = candidate.get(name)
        if other is None:
            differences.append("%s: missing from the candidate" % name)
        elif other[1:] != (code, digest):
            differences.append("%s: code %s digest %s, reference code %s digest %s"
                               % (name, other[1], other[2], code, digest))
    for name in candidate:
        if name not in reference:
            differences.append("%s: not in the reference" % name)

    for difference in differences:
        print("DIFFERS " + difference)
    print("%d scenarios compared, %d differ" % (compared, len(differences)))
    return 1 if differences else 0


if __name__ == "__main__":
    sys.exit(main())
