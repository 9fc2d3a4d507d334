#!/usr/bin/python3
"""Compares what two runs of the sample conversion wrote, one by the Linux
program and one by the Windows program, each in a folder of the same layout
(app/, the output folder, stdout.txt for a run from the command line):

  * the output tables byte for byte apart from the header's date of last
    update (bytes 1-3), the indexes byte for byte;
  * the event log line by line apart from the time stamps (the first 22
    characters), from the run's start line to its end line, with the
    archive's path reduced to its file name (a run from the window names it
    as the window holds it);
  * with --summary, the summary on standard output apart from its time line
    and the separators of the paths it names.

  compare_runs.py LINUX_DIR WINDOWS_DIR OUT_FOLDER [--summary]
"""
import pathlib
import re
import sys

linux, windows, out = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2]), sys.argv[3]
with_summary = "--summary" in sys.argv[4:]
faults = []


def compare_files(folder, ignore_date):
    names = sorted(p.name for p in (linux / folder).iterdir())
    other = sorted(p.name for p in (windows / folder).iterdir())
    if names != other:
        faults.append(f"{folder}: files {names} against {other}")
        return 0
    for name in names:
        a = (linux / folder / name).read_bytes()
        b = (windows / folder / name).read_bytes()
        if ignore_date and len(a) > 4 and len(b) > 4:
            a, b = a[:1] + a[4:], b[:1] + b[4:]
        if a != b:
            faults.append(f"{folder}/{name} differs")
    return len(names)


def lines(side, name, skip):
    # Bytes: the log is Windows-1251, the stamp 22 ASCII characters.
    return [line[skip:] for line in (side / name).read_bytes().splitlines()]


ARCHIVE_PATH = re.compile(rb"\S*[/\\]([^/\\\s]+\.DBF)", re.IGNORECASE)


def run_lines(side):
    """The run's own lines: its start line to its end line."""
    log = [ARCHIVE_PATH.sub(rb"\1", line) for line in lines(side, "app/veltconv.log", 22)]
    starts = [i for i, line in enumerate(log) if line.startswith("Запущена конвертация".encode("cp1251"))]
    if not starts:
        faults.append(f"{side.name}: no run in the event log")
        return []
    run = log[starts[-1]:]
    ends = [i for i, line in enumerate(run) if "Конвертация файла".encode("cp1251") in line]
    return run[: ends[0] + 1] if ends else run


tables = compare_files(out, ignore_date=True)
indexes = compare_files("app/indexes", ignore_date=False)
if tables == 0:
    faults.append("no output table written")
log = run_lines(linux)
if log != run_lines(windows):
    faults.append("event logs differ")


def summary(side):
    # The paths it names carry each platform's separator.
    return [line.replace(b"\\", b"/").replace(b"//", b"/") for line in lines(side, "stdout.txt", 0)[1:]]


if with_summary and summary(linux) != summary(windows):
    faults.append("summaries differ")

if faults:
    print("Windows run differs from the Linux run:\n  " + "\n  ".join(faults))
    sys.exit(1)
print(f"Windows run matches the Linux run: {tables} tables, {indexes} indexes, {len(log)} log lines")
