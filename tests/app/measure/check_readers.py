#!/usr/bin/env python3
"""Reads what lrfmeasure writes with tools nobody here wrote.

An automatic save file through Python's csv module and pandas: every time stamp
parses, and time never runs backwards within the file. The JSON lines through
the json module, their times through datetime.fromisoformat.

    check_readers.py LRFMEASURE
"""
import csv
import datetime
import json
import os
import pathlib
import subprocess
import sys
import tempfile

import pandas

STAMP = "%Y/%m/%d %H:%M:%S.%f"


def run(program, folder, *args):
    env = dict(os.environ, LC_ALL="C.UTF-8", LRF_JOURNAL=str(folder / "journal.sqlite"))
    done = subprocess.run([program, "--simulate", *args], cwd=folder, env=env,
                          capture_output=True, timeout=300, check=False)
    if done.returncode != 0:
        sys.exit(f"lrfmeasure {' '.join(args)} ended with {done.returncode}: "
                 f"{done.stderr.decode(errors='replace')}")
    return done.stdout.decode()


def check_csv(path):
    with open(path, newline="", encoding="utf-8") as f:
        rows = list(csv.reader(f))
    header, records = rows[0], rows[1:]
    assert header[7] == "DateTime", header
    times = [datetime.datetime.strptime(r[7], STAMP) for r in records]
    for row, (before, after) in enumerate(zip(times, times[1:]), start=2):
        assert after >= before, f"csv: time runs backwards at record {row}: {before} -> {after}"
    # Short milliseconds are the case that went wrong: the file must have some.
    assert any(t.microsecond < 100000 for t in times), "no time stamp under .100 s"

    frame = pandas.read_csv(path)
    parsed = pandas.to_datetime(frame.iloc[:, 7], format=STAMP)
    assert not parsed.isna().any(), "pandas: a time stamp did not parse"
    backwards = int((parsed.diff().dropna() < pandas.Timedelta(0)).sum())
    assert backwards == 0, f"pandas: time runs backwards {backwards} times"
    assert list(parsed.dt.to_pydatetime()) == times, "pandas and csv read different times"
    return len(records)


def check_json(text):
    lines = text.splitlines()
    assert len(lines) == 5, lines
    for line in lines:
        record = json.loads(line)
        at = datetime.datetime.fromisoformat(record["date_time"])
        assert at.tzinfo is not None, record["date_time"]
        assert abs((datetime.datetime.now(datetime.timezone.utc) - at).total_seconds()) < 600
        for key in ("sn", "linear", "speed"):
            assert record[key] is None or isinstance(record[key], (int, float)), record
    return len(lines)


def main():
    program = os.path.abspath(sys.argv[1])
    with tempfile.TemporaryDirectory() as work:
        folder = pathlib.Path(work)
        saves = folder / "saves"
        saves.mkdir()
        run(program, folder, "--distance", "--count", "400", "--csv", str(saves))
        files = sorted(saves.glob("*.csv"))
        assert len(files) == 1, files
        records = check_csv(files[0])
        lines = check_json(run(program, folder, "--speed", "--count", "5", "--json"))
    print(f"{records} CSV records and {lines} JSON lines read right")


if __name__ == "__main__":
    main()
