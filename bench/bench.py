#!/usr/bin/python3
"""Times tarnel against the protocol's floor and a pyserial script.

Runs everything against the simulated sensor on a pseudo-terminal, paced at
the line rate and at ordinary priority, as hardware would answer, in one go:

  1. tarnel -d COM3 -a and bench/peer.py (the same four exchanges written
     with pyserial), interleaved, each timed from its spawn to its exit;
  2. tarnel -d COM3 -a against sensors of five kinds: prompt, answering 3 ms
     after each command, behind a USB adapter with a 16 ms latency timer,
     answering 750 ms after each command (one command at a time, as
     firmware does), and silent;
  3. tarnel -d COM3 -a again and again while a busy loop holds every core,
     counting the replies that came out as NaN or UNKNOWN;
  4. the peak resident memory of one run.

Exits 0 when every target is met, 1 when one is missed, 2 when the
benchmark itself could not run.
"""
import argparse
import math
import os
import platform
import statistics
import subprocess
import sys
import tempfile
import time

# Four exchanges, each a 1 ms pause and a 1 ms read window.
FLOOR_MS = 8.0
MEDIAN_LIMIT = 1.2          # times the floor
LATE_MS = 3.0               # the late sensor's answer time
LATE_LIMIT = 4              # times (LATE_MS + 2 ms): its median at most 20 ms
SLOW_MS = 750.0             # a sensor that measures when asked: a one-wire conversion
SLOW_LIMIT = 4              # times (SLOW_MS + 10 ms): its median at most 3040 ms
SILENT_LIMIT_MS = 4500.0    # four replies awaited in vain, and the rest of a run
PEER_FACTOR = 8             # the tool's time beyond the floor, at most 1/8 of the peer's
RSS_LIMIT_KIB = 4 * 1024
BUSY_PERCENT = 5            # other processes' share of the machine that distorts the figures

# The simulated sensor's default readings, in the order of tarnel -a.
QUANTITIES = ("temperature", "humidity", "pressure", "name")
COMMANDS = (b"GT\n", b"GH\n", b"GP\n", b"GN\n")
EXPECTED = ("23.4", "45.6", "1013.2", "AB-1")
MISSING = ("NaN", "UNKNOWN")

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)
PYTHON = "/usr/bin/python3"


def fail_setup(message):
    print(f"bench: {message}", file=sys.stderr)
    sys.exit(2)


class Spawner:
    """Spawns a program with its output in memory and times it to its exit."""

    def __init__(self):
        self._out = self._buffer("out")
        self._err = self._buffer("err")
        self._null = os.open(os.devnull, os.O_RDONLY)

    @staticmethod
    def _buffer(name):
        if hasattr(os, "memfd_create"):
            return os.memfd_create(f"bench-{name}")
        fd, path = tempfile.mkstemp(prefix=f"bench-{name}-")
        os.unlink(path)
        return fd

    def run(self, argv, env):
        """(milliseconds, exit code, stdout, stderr) of one run."""
        for fd in (self._out, self._err):
            os.ftruncate(fd, 0)
            os.lseek(fd, 0, os.SEEK_SET)
        actions = [(os.POSIX_SPAWN_DUP2, self._null, 0),
                   (os.POSIX_SPAWN_DUP2, self._out, 1),
                   (os.POSIX_SPAWN_DUP2, self._err, 2)]
        start = time.perf_counter_ns()
        pid = os.posix_spawn(argv[0], argv, env, file_actions=actions)
        _, status, _ = os.wait4(pid, 0)
        elapsed = (time.perf_counter_ns() - start) / 1e6
        return elapsed, os.waitstatus_to_exitcode(status), self._read(self._out), self._read(self._err)

    @staticmethod
    def _read(fd):
        os.lseek(fd, 0, os.SEEK_SET)
        chunks = []
        while True:
            chunk = os.read(fd, 65536)
            if not chunk:
                break
            chunks.append(chunk)
        return b"".join(chunks).decode("latin-1")


def percentile(values, fraction):
    """Nearest-rank percentile."""
    ordered = sorted(values)
    return ordered[max(1, math.ceil(fraction * len(ordered))) - 1]


def is_dynamic(path):
    """True when the ELF file asks for a program interpreter."""
    try:
        with open(path, "rb") as f:
            header = f.read(64)
            if header[:4] != b"\x7fELF" or header[4] != 2:
                return None
            order = "little" if header[5] == 1 else "big"
            phoff = int.from_bytes(header[32:40], order)
            phentsize = int.from_bytes(header[54:56], order)
            phnum = int.from_bytes(header[56:58], order)
            f.seek(phoff)
            table = f.read(phentsize * phnum)
    except OSError:
        return None
    return any(int.from_bytes(table[i * phentsize:i * phentsize + 4], order) == 3  # PT_INTERP
               for i in range(phnum))


def start_sensor(sim, args=(), log=None, realtime=False):
    """The simulated sensor, paced at the line rate like hardware. Hardware
    answers without taking CPU time from the machine, but it has no
    priority over the tool either: the sensor runs as an ordinary process
    unless --realtime asks otherwise."""
    argv = [sim] + list(args) + (["--realtime"] if realtime else []) + ([f"--log={log}"] if log else [])
    proc = subprocess.Popen(argv, stdout=subprocess.PIPE, stdin=subprocess.DEVNULL)
    path = proc.stdout.readline().decode().strip()
    if not path:
        proc.kill()
        fail_setup(f"{sim} printed no terminal path")
    return proc, path


def stop_sensor(proc):
    proc.terminate()
    proc.wait()


def start_busy_loops(cpus):
    """One busy loop for each CPU: on that CPU when pinned, else anywhere."""
    loops = []
    for cpu in cpus:
        proc = subprocess.Popen([PYTHON, "-c", "while True: pass"], stdin=subprocess.DEVNULL)
        if cpu is not None:
            os.sched_setaffinity(proc.pid, {cpu})
        loops.append(proc)
    return loops


def check_output(text):
    """Per quantity: "ok", "lost" (NaN or UNKNOWN) or "wrong"; extra lines are wrong."""
    lines = text.split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    states = []
    for i, expected in enumerate(EXPECTED):
        got = lines[i] if i < len(lines) else None
        states.append("ok" if got == expected else "lost" if got in MISSING else "wrong")
    states += ["wrong"] * max(0, len(lines) - len(EXPECTED))
    return states


class MachineShare:
    """The share of the machine's CPU time that went to processes other than
    this benchmark and its children during a phase: with something else
    running, the figures show that load more than the tool."""

    def __init__(self, sensor_pid):
        self._sensor = sensor_pid
        self._ticks = os.sysconf("SC_CLK_TCK")
        self._start = self._sample()

    def _sample(self):
        with open("/proc/stat") as f:
            fields = [int(x) for x in f.readline().split()[1:]]
        busy = sum(fields[:8]) - fields[3] - fields[4]  # all but idle and iowait
        with open(f"/proc/{self._sensor}/stat") as f:
            stat = f.read().rsplit(")", 1)[1].split()
        own = os.times()
        own_ticks = (own.user + own.system + own.children_user + own.children_system) * self._ticks
        return time.monotonic(), busy, own_ticks + int(stat[11]) + int(stat[12])

    def percent(self):
        start, busy, own = self._start
        end, busy2, own2 = self._sample()
        capacity = (end - start) * self._ticks * (os.cpu_count() or 1)
        return max(0.0, 100.0 * ((busy2 - busy) - (own2 - own)) / capacity) if capacity > 0 else 0.0


def share_note(percent):
    text = f"  CPU time taken by other processes meanwhile: {percent:.0f}% of the machine"
    if percent >= BUSY_PERCENT:
        text += " (a busy machine: its load shows in these figures)"
    return text


def peak_rss_kib(argv, env):
    """Peak resident set of one run in KiB, and how it was measured.

    GNU time forks from a small process and reports the child's maximum; a
    wait4 from here would also count the pages of this Python process, which
    the child starts out sharing.  Without GNU time the child's own high-water
    mark is sampled from /proc while it runs (its memory is all taken by the
    first exchange, long before it ends)."""
    gnu_time = "/usr/bin/time"
    if os.access(gnu_time, os.X_OK):
        with tempfile.NamedTemporaryFile("r", prefix="bench-rss-") as report:
            subprocess.run([gnu_time, "-f", "%M", "-o", report.name] + argv, env=env,
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, check=False)
            lines = report.read().strip().splitlines()
        if lines and lines[-1].isdigit():
            return int(lines[-1]), "GNU time"
    with open(os.devnull, "wb") as null:
        proc = subprocess.Popen(argv, env=env, stdin=subprocess.DEVNULL, stdout=null)
    peak = 0
    program = os.path.realpath(argv[0])
    while proc.poll() is None:
        try:
            if os.readlink(f"/proc/{proc.pid}/exe") != program:
                continue  # not yet the tool itself
            with open(f"/proc/{proc.pid}/status") as f:
                for line in f:
                    if line.startswith("VmHWM:"):
                        peak = max(peak, int(line.split()[1]))
        except (OSError, ValueError):
            pass
    return peak, "VmHWM sampled from /proc"


def explain_losses(log_path, losses):
    """Prints what the sensor's log shows of each lost reply: whether and when
    the command reached the sensor and how soon it answered."""
    entries = []
    with open(log_path) as f:
        for line in f:
            parts = line.split()
            if len(parts) >= 2:
                entries.append((int(parts[0]), parts[1], bytes(int(x, 16) for x in parts[2:])))
    never = 0
    for shown, (run, start, end, index) in enumerate(losses):
        received = b""
        arrival = answer = None
        for when, direction, data in entries:
            if not start <= when <= end:
                continue
            if direction == "rx" and arrival is None:
                received += data
                if COMMANDS[index] in received:
                    arrival = when
            elif direction == "tx" and arrival is not None and answer is None:
                answer = when
        if arrival is None:
            never += 1
            what = "the command did not reach the sensor during the run"
        elif answer is None:
            what = f"the command reached the sensor {(arrival - start) / 1000:.2f} ms into the run; no answer sent"
        else:
            later = [when for when, direction, data in entries
                     if direction == "rx" and arrival < when <= end and any(c in data for c in COMMANDS)]
            gap = f", the next command {(later[0] - arrival) / 1000:.2f} ms after it" if later else ""
            what = (f"the command reached the sensor {(arrival - start) / 1000:.2f} ms into the run, "
                    f"answered {(answer - arrival) / 1000:.2f} ms later{gap}")
        if shown < 20:
            print(f"    run {run}, {QUANTITIES[index]}: {what}")
    if len(losses) > 20:
        print(f"    ... {len(losses) - 20} more")
    print(f"    commands that never reached the sensor: {never} of {len(losses)}")


def verdict(ok):
    return "ok" if ok else "MISSED"


def timed_runs(spawner, programs, runs, env):
    """Interleaved runs; per program the times and the count of bad results."""
    times = {name: [] for name in programs}
    bad = {name: {"lost": 0, "wrong": 0, "failed": 0} for name in programs}
    for _ in range(runs):
        for name, argv in programs.items():
            elapsed, code, out, _ = spawner.run(argv, env)
            times[name].append(elapsed)
            states = check_output(out)
            bad[name]["lost"] += states.count("lost")
            bad[name]["wrong"] += states.count("wrong")
            bad[name]["failed"] += code != 0
    return times, bad


SCENARIOS = (
    # name, sensor options, runs, expected per quantity, target median ms or None
    ("prompt sensor", [], 100, "ok", FLOOR_MS * MEDIAN_LIMIT),
    (f"sensor answering {LATE_MS:g} ms after each command", [f"--delay={int(LATE_MS * 1000)}"], 100, "ok",
     LATE_LIMIT * (LATE_MS + 2)),
    ("USB adapter, 16 ms latency timer", ["--latency=16"], 50, "ok", None),
    (f"sensor answering {SLOW_MS:g} ms after each command", ["--sequential", f"--delay={int(SLOW_MS * 1000)}"], 5,
     "ok", SLOW_LIMIT * (SLOW_MS + 10)),
    ("silent sensor", ["--silent=GT", "--silent=GH", "--silent=GP", "--silent=GN"], 5, "lost", SILENT_LIMIT_MS),
)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build-dir", default=os.path.join(REPO, "build", "bench"),
                        help="build tree holding tarnel and sensor-sim (default: build/bench)")
    parser.add_argument("--tarnel", help="the tool to time (default: BUILD_DIR/tarnel)")
    parser.add_argument("--sim", help="the simulated sensor (default: BUILD_DIR/sensor-sim)")
    parser.add_argument("--runs", type=int, default=300,
                        help="timed runs of each program, at least 200 (default 300)")
    parser.add_argument("--load-runs", type=int, default=1000, help="runs under load (default 1000)")
    parser.add_argument("--explain", action="store_true",
                        help="log the sensor's traffic under load and show what it says of each lost reply")
    parser.add_argument("--pin", action="store_true",
                        help="run tarnel, the peer and the sensor on one CPU and a busy loop on each other one")
    parser.add_argument("--realtime", action="store_true",
                        help="run the sensor with real-time priority (as root)")
    args = parser.parse_args()
    if args.runs < 200:
        parser.error("--runs must be at least 200")

    tarnel = os.path.abspath(args.tarnel or os.path.join(args.build_dir, "tarnel"))
    sim = os.path.abspath(args.sim or os.path.join(args.build_dir, "sensor-sim"))
    for program in (tarnel, sim, PYTHON):
        if not os.access(program, os.X_OK):
            fail_setup(f"{program} not found or not executable (bench/run-bench.sh builds both)")
    cpus = sorted(os.sched_getaffinity(0))
    # --pin puts the tool, the peer and the sensor on one CPU: a wake-up sent
    # to another CPU can wait there for that CPU's next timer tick (up to 8 ms
    # seen in virtual machines).
    pinned = cpus[0]
    if args.pin:
        os.sched_setaffinity(0, {pinned})  # inherited by everything started from here
        busy_cpus = [cpu for cpu in cpus if cpu != pinned] or [pinned]
    else:
        busy_cpus = [None] * len(cpus)
    log = tempfile.NamedTemporaryFile(prefix="bench-sensor-", suffix=".log") if args.explain else None

    sensor, pty = start_sensor(sim, realtime=args.realtime)
    env = dict(os.environ, TARNEL_COM3=pty)
    programs = {"tarnel": [tarnel, "-d", "COM3", "-a"],
                "peer": [PYTHON, os.path.join(HERE, "peer.py"), pty]}
    spawner = Spawner()
    missed = []
    try:
        # The tool must read the sensor right before its times mean anything.
        for _ in range(5):
            _, code, out, err = spawner.run(programs["tarnel"], env)
        if code != 0 or set(check_output(out)) != {"ok"}:
            fail_setup(f"tarnel does not read the simulated sensor: exit {code}, output {out!r} {err!r}")

        linkage = {True: "dynamically linked", False: "statically linked"}.get(is_dynamic(tarnel), "not ELF")
        print(f"tarnel benchmark: {tarnel} ({linkage})")
        print(f"sensor: {sim} on {pty}, paced at the line rate, "
              + ("real-time priority" if args.realtime else "ordinary priority"))
        print(f"machine: {len(cpus)} CPUs, {platform.system()} {platform.release()}, "
              f"Python {platform.python_version()}, load average {' '.join(f'{x:.2f}' for x in os.getloadavg())}")
        print("CPUs: " + (f"tarnel, the peer and the sensor on CPU {pinned}, busy loops on CPUs "
                          f"{', '.join(str(c) for c in busy_cpus)}" if args.pin else
                          "everything wherever the scheduler puts it"))
        print(f"floor: 4 exchanges x (1 ms pause + 1 ms read window) = {FLOOR_MS:.1f} ms")
        print()

        # 1. The tool and the peer, interleaved.
        share = MachineShare(sensor.pid)
        times, bad = timed_runs(spawner, programs, args.runs, env)
        tool_median = statistics.median(times["tarnel"])
        peer_median = statistics.median(times["peer"])
        print(f"wall time from spawn to exit against the prompt sensor, {args.runs} runs of each, interleaved:")
        for name, label in (("tarnel", "tarnel -d COM3 -a"), ("peer", "pyserial peer")):
            b = bad[name]
            print(f"  {label:18} median {statistics.median(times[name]):6.2f} ms  "
                  f"p95 {percentile(times[name], 0.95):6.2f} ms  "
                  f"(lost replies {b['lost']}, wrong {b['wrong']}, failed runs {b['failed']})")
        ratio = tool_median / FLOOR_MS
        ok = ratio <= MEDIAN_LIMIT
        print(f"  tarnel median / floor: {ratio:.3f} (target at most {MEDIAN_LIMIT}): {verdict(ok)}")
        if not ok:
            missed.append("median")
        tool_beyond, peer_beyond = tool_median - FLOOR_MS, peer_median - FLOOR_MS
        ok = tool_beyond * PEER_FACTOR <= peer_beyond
        factor = f"{peer_beyond / tool_beyond:.1f}" if tool_beyond > 0 else "unbounded"
        print(f"  beyond the floor: tarnel {tool_beyond:.2f} ms, peer {peer_beyond:.2f} ms, "
              f"peer / tarnel = {factor} (target at least {PEER_FACTOR}): {verdict(ok)}")
        if not ok:
            missed.append("time beyond the floor")
        # Where the time beyond the floor goes: the same run with no device
        # behind COM3 is the process start, the port's failed open and the exit.
        nowhere = dict(env, TARNEL_COM3=os.path.join(tempfile.gettempdir(), "bench-no-such-port"))
        startup = statistics.median(spawner.run(programs["tarnel"], nowhere)[0] for _ in range(args.runs))
        print(f"  of tarnel's {tool_beyond:.2f} ms beyond the floor: process start and exit {startup:.2f} ms "
              f"(the same run with no device behind COM3), the exchanges {tool_beyond - startup:.2f} ms")
        if sum(bad["tarnel"].values()):
            print("  tarnel lost or misread replies in the timed runs: MISSED")
            missed.append("replies in the timed runs")
        print(share_note(share.percent()))
        print()

        # 2. Sensors of five kinds.
        print("median wall time of tarnel -d COM3 -a by kind of sensor:")
        print(f"  {'sensor':42} {'runs':>5} {'median':>9} {'p95':>9}  {'results':22} target")
        for name, options, runs, expected, limit in SCENARIOS:
            other, other_pty = start_sensor(sim, options, realtime=args.realtime)
            try:
                other_env = dict(os.environ, TARNEL_COM3=other_pty)
                elapsed = []
                unexpected = 0
                for _ in range(runs):
                    ms, code, out, _ = spawner.run(programs["tarnel"], other_env)
                    elapsed.append(ms)
                    unexpected += sum(state != expected for state in check_output(out))
                    unexpected += code != (0 if expected == "ok" else 2)
            finally:
                stop_sensor(other)
            median = statistics.median(elapsed)
            results = "as expected" if not unexpected else f"{unexpected} unexpected"
            target = "" if limit is None else f"at most {limit:.1f} ms: {verdict(median <= limit)}"
            print(f"  {name:42} {runs:5} {median:6.2f} ms {percentile(elapsed, 0.95):6.2f} ms  {results:22} {target}")
            if limit is not None and median > limit:
                missed.append(f"median, {name}")
            if unexpected:
                missed.append(f"results, {name}")
        print()

        # 3. Lost replies while every core is kept busy.
        stop_sensor(sensor)
        sensor, pty = start_sensor(sim, log=log.name if log else None, realtime=args.realtime)
        env = dict(os.environ, TARNEL_COM3=pty)
        share = MachineShare(sensor.pid)
        busy = start_busy_loops(busy_cpus)
        losses = []
        wrong = failed = 0
        load_ms = []
        try:
            time.sleep(0.2)
            for run in range(args.load_runs):
                start = time.monotonic_ns() // 1000
                elapsed, code, out, _ = spawner.run(programs["tarnel"], env)
                end = time.monotonic_ns() // 1000
                load_ms.append(elapsed)
                states = check_output(out)
                losses += [(run, start, end, i) for i, state in enumerate(states) if state == "lost"]
                wrong += states.count("wrong")
                failed += code != 0
        finally:
            for loop in busy:
                loop.kill()
                loop.wait()
        others = share.percent()  # the busy loops count as this benchmark's once reaped
        ok = not losses and not wrong and not failed
        print(f"{args.load_runs} consecutive runs of tarnel -d COM3 -a with a busy loop for each of the "
              f"{len(busy_cpus)} CPUs:")
        print(f"  median {statistics.median(load_ms):.2f} ms  p95 {percentile(load_ms, 0.95):.2f} ms  "
              f"max {max(load_ms):.2f} ms")
        print(f"  lost replies (NaN or UNKNOWN): {len(losses)} of {4 * args.load_runs}, wrong readings: {wrong}, "
              f"failed runs: {failed} (target none): {verdict(ok)}")
        print(share_note(others))
        if not ok:
            missed.append("lost replies under load")
        if losses and log:
            time.sleep(0.3)  # the sensor writes its log from a thread of its own
            explain_losses(log.name, losses)
        print()

        # 4. Memory.
        samples = [peak_rss_kib(programs["tarnel"], env) for _ in range(5)]
        rss, method = max(samples)
        ok = 0 < rss < RSS_LIMIT_KIB
        print(f"peak resident memory of one run: {rss} KiB, the largest of {len(samples)} by {method} "
              f"(target under {RSS_LIMIT_KIB} KiB): {verdict(ok)}")
        if not ok:
            missed.append("memory")
    finally:
        stop_sensor(sensor)
        if log:
            log.close()

    print()
    if missed:
        print(f"result: target missed: {', '.join(missed)}")
        return 1
    print("result: every target met")
    return 0


if __name__ == "__main__":
    sys.exit(main())
