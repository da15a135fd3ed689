#!/usr/bin/env python3
"""What a user would script instead of Tovakin: every drive path of a
cassette made relative to the cassette's folder with Python's ntpath.relpath,
written back with CR LF through a temporary file that is flushed and moved
over the target, as Tovakin's save is.  Timed inside the interpreter, so its
start-up takes no part; prints the figures and the median in seconds.

    relpath_bench.py <cassette> <Windows path of the cassette> <output> [repetitions]

The cassette's own Windows path gives the folder the lines are made relative
to (Tovakin converts a dropped cassette relative to its own folder).
"""
import ntpath
import os
import statistics
import sys
import time


def convert(source, windows_path, output):
    folder = ntpath.dirname(windows_path)
    with open(source, "rb") as f:
        data = f.read()
    lines = []
    for raw in data.splitlines():  # bytes: CR LF, LF and CR end a line
        line = raw.decode("cp932", "surrogateescape")
        if len(line) >= 3 and line[1:3] == ":\\":
            try:
                line = ntpath.relpath(line, folder)
            except ValueError:  # another drive
                pass
        lines.append(line)
    text = "".join(line + "\r\n" for line in lines).encode("cp932", "surrogateescape")
    temp = output + ".tmp"
    with open(temp, "wb") as f:
        f.write(text)
        f.flush()
        os.fsync(f.fileno())
    os.replace(temp, output)


def main():
    source, windows_path, output = sys.argv[1:4]
    repetitions = int(sys.argv[4]) if len(sys.argv) > 4 else 3
    times = []
    for _ in range(repetitions):
        start = time.perf_counter()
        convert(source, windows_path, output)
        times.append(time.perf_counter() - start)
    print("ntpath.relpath, %d runs: min %.2f s, median %.2f s" % (repetitions, min(times), statistics.median(times)))
    print("median seconds: %.6f" % statistics.median(times))


if __name__ == "__main__":
    main()
