"""The share of one core that some processes take, as the scheduler counts it."""

import os
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
