"""What the benchmarks measure of a running program: the share of one core that some
processes take, as the scheduler counts it, and the presents that bench/present_probe
reports."""

import os
import select
import time


def cpu_ns(pid):
    """The processor time the process's threads now running have used so far, in
    nanoseconds, as the scheduler counts it: exact, where the clock ticks of
    /proc/<pid>/stat would move a share of a few per cent by half a per cent each."""
    total = 0
    try:
        tasks = os.listdir("/proc/%d/task" % pid)
    except FileNotFoundError:
        return 0  # ended
    for task in tasks:
        try:
            with open("/proc/%d/task/%s/schedstat" % (pid, task)) as f:
                total += int(f.read().split()[0])
        except (FileNotFoundError, ProcessLookupError):
            pass  # a thread that ended meanwhile
    return total


class Share:
    """The share of one core that some processes take from now on, in per cent."""

    def __init__(self, pids):
        self.pids = pids
        self.used = sum(cpu_ns(pid) for pid in pids)
        self.ns = time.monotonic_ns()

    def percent(self):
        used = sum(cpu_ns(pid) for pid in self.pids) - self.used
        return 100.0 * used / (time.monotonic_ns() - self.ns)


def presents(read_ends, seconds, on_the_way=None):
    """Reads the probes' lines for seconds: each one's first present and its counts."""
    firsts, counts = {}, {fd: [] for fd in read_ends}
    buffers = {fd: b"" for fd in read_ends}
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if on_the_way and time.monotonic() >= deadline - on_the_way[0]:
            on_the_way[1]()
            on_the_way = None
        ready, _, _ = select.select(read_ends, [], [], 0.05)
        for fd in ready:
            buffers[fd] += os.read(fd, 65536)
            *lines, buffers[fd] = buffers[fd].split(b"\n")
            for line in lines:
                what, count, ns = line.split()
                if what == b"first":
                    firsts[fd] = int(ns)
                counts[fd].append((int(count), int(ns)))
    return firsts, counts


def rate(counts):
    """Presents per second over the last two seconds of the run."""
    late = [c for c in counts if c[1] >= counts[-1][1] - 2_000_000_000] if counts else []
    return (late[-1][0] - late[0][0]) / ((late[-1][1] - late[0][1]) / 1e9) if len(late) > 1 else 0.0
