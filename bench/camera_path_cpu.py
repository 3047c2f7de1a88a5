#!/usr/bin/env python3
"""CPU of the camera path apart from the test camera's own elements, for one or more builds of
CameraGrab_bench run in turn on this machine: each run's threads are read from /proc while it
measures, and the thread that runs the test source (videotestsrc and the elements it pushes
through) is set apart from the rest (the UI thread, queues, converters).
Usage: camera_path_cpu.py SECONDS ROUNDS BENCH [BENCH...]"""
import os
import statistics
import subprocess
import sys
import time

TICK = os.sysconf("SC_CLK_TCK")


def threads(pid):
    out = {}
    for tid in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{tid}/stat") as f:
                stat = f.read()
        except OSError:
            continue
        name = stat[stat.index("(") + 1:stat.rindex(")")]
        fields = stat[stat.rindex(")") + 2:].split()
        out[tid] = (name, (int(fields[11]) + int(fields[12])) / TICK)
    return out


def run(bench, seconds):
    proc = subprocess.Popen([bench, str(seconds + 2)], stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL, text=True)
    time.sleep(2.0)  # start-up and the bench's own settling
    before = threads(proc.pid)
    time.sleep(seconds)
    after = threads(proc.pid)
    out, _ = proc.communicate(timeout=120)
    source = path = 0.0
    for tid, (name, cpu) in after.items():
        spent = cpu - before.get(tid, (name, 0.0))[1]
        if name.startswith("videotestsrc"):
            source += spent
        else:
            path += spent
    frames = 30.0 * seconds
    return 1000 * source / frames, 1000 * path / frames, out.strip().splitlines()[0]


def main():
    seconds, rounds, benches = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3:]
    results = {b: [] for b in benches}
    for _ in range(rounds):
        for b in benches:
            results[b].append(run(b, seconds))
    for b, rs in results.items():
        print(f"{b}: source thread {statistics.median(r[0] for r in rs):.2f} ms/frame, "
              f"camera path {statistics.median(r[1] for r in rs):.2f} ms/frame "
              f"(medians of {rounds}; paths {', '.join('%.2f' % r[1] for r in rs)})")
        print("   last run: " + rs[-1][2])


if __name__ == "__main__":
    main()
