#!/usr/bin/env python3
"""Measures the real client under X against baselines taken in the same run.

    benchmarks.py --client BIN --bare BIN --demo BIN --port N [--runs 5]
                  [--idle-seconds 60] [--report FILE] [--alarm WAV]

Needs a display (run it under xvfb-run), xdotool and curl. The client must
have been built for http://127.0.0.1:PORT. Prints one line per figure; with
--report also writes the figures and the method as Markdown.

Figures, each the median of --runs runs:
  start-up      process start until the window is mapped, against a bare
                Qt Widgets window of the same size;
  first frame   process start until the window's first picture is on the
                screen, against the bare window's;
  memory        peak resident memory (VmHWM) after login with the signals
                shown, against the bare window once mapped;
  idle CPU      CPU time over --idle-seconds while logged in and nothing
                changes, as a share of one core (target an absolute share);
  poll→export   from the moment the service's data has moved on and the
                client's due check reaches it, until both export files hold
                the new line, against curl making the same two requests.
"""

import argparse
import ctypes
import ctypes.util
import os
import platform
import re
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time
import urllib.parse
from pathlib import Path

CLIENT_TITLE = "Kelvo-Rozevid - Connecting you to profitable trading"
BARE_TITLE = "Bare window"
USER, PASSWORD = "demo", "demo123"
CLK_TCK = os.sysconf("SC_CLK_TCK")


def fail(message):
    print(f"benchmarks: {message}", file=sys.stderr)
    sys.exit(1)


def now_ns():
    return time.monotonic_ns()


def xdotool(*args, check=True):
    done = subprocess.run(["xdotool", *args], capture_output=True, text=True)
    if check and done.returncode != 0:
        fail(f"xdotool {' '.join(args)}: {done.stderr.strip()}")
    return done.stdout.strip()


def visible_window(pid, title):
    """The id of a mapped window of process pid with this exact title."""
    out = xdotool("search", "--all", "--onlyvisible", "--pid", str(pid),
                  "--name", f"^{re.escape(title)}$", check=False)
    return out.splitlines()[0] if out else None


def wait_mapped(process, title, limit=30.0, log=None):
    """Waits until the window is mapped; returns (window id, monotonic ns).

    `xdotool search --sync` looks only every half second, too coarse for a
    start-up of a few hundred milliseconds, so search is run in a loop."""
    end = time.monotonic() + limit
    while time.monotonic() < end:
        window = visible_window(process.pid, title)
        if window:
            return window, now_ns()
        if process.poll() is not None:
            said = Path(log).read_text(errors="replace")[-2000:] if log else ""
            fail(f"{title!r} exited with {process.returncode} before its window showed\n{said}")
    fail(f"no window {title!r} within {limit:.0f} s")


def wait_until(predicate, limit, what):
    end = time.monotonic() + limit
    while time.monotonic() < end:
        if predicate():
            return
        time.sleep(0.05)
    fail(f"{what} within {limit:.0f} s")


def stop(process):
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


def status_kib(pid, field):
    for line in Path(f"/proc/{pid}/status").read_text().splitlines():
        if line.startswith(field + ":"):
            return int(line.split()[1])
    fail(f"no {field} for process {pid}")


def cpu_ns(pid):
    """CPU time of a process so far: from schedstat (nanoseconds) when the
    kernel keeps it, else from stat (clock ticks)."""
    try:
        return int(Path(f"/proc/{pid}/schedstat").read_text().split()[0])
    except (OSError, ValueError, IndexError):
        fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) * 1_000_000_000 // CLK_TCK


def median(values):
    return statistics.median(values)


class Screen:
    """One row of the screen's pixels, read straight from the X server
    (libX11 through ctypes): a few hundred microseconds a look, so that the
    first picture a window shows can be timed."""

    def __init__(self):
        x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        x11.XOpenDisplay.restype = ctypes.c_void_p
        x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x11.XDefaultRootWindow.restype = ctypes.c_ulong
        x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x11.XGetImage.restype = ctypes.c_void_p
        x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                  ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        x11.XGetPixel.restype = ctypes.c_ulong
        x11.XGetPixel.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
        x11.XDestroyImage.argtypes = [ctypes.c_void_p]
        self.x11 = x11
        self.display = x11.XOpenDisplay(None)
        if not self.display:
            fail("cannot open the display")
        self.root = x11.XDefaultRootWindow(self.display)

    def row(self, x, y, width):
        """The pixels of width columns from (x, y), as a tuple."""
        image = self.x11.XGetImage(self.display, self.root, x, y, width, 1, 0xFFFFFFFF, 2)
        if not image:
            fail(f"cannot read the screen at {x},{y}")
        try:
            return tuple(self.x11.XGetPixel(image, i, 0) for i in range(0, width, 4))
        finally:
            self.x11.XDestroyImage(image)


class Bench:
    def __init__(self, options):
        self.options = options
        self.work = Path(tempfile.mkdtemp(prefix="kelvo-bench-"))
        self.processes = []
        self.service = None
        self.service_log = self.work / "demo.log"
        self.base = f"http://127.0.0.1:{options.port}"
        self.size = None
        self.area = None  # where the client's and the bare window show
        self.screen = Screen()
        self.last_picture = None
        self.poll_steps = []  # (time request to signal request, then to files), ms

    # -- processes ---------------------------------------------------------

    def spawn(self, argv, cwd=None, env=None, log=None):
        out = open(log, "wb") if log else subprocess.DEVNULL
        process = subprocess.Popen(argv, cwd=cwd, env=env, stdout=out,
                                   stderr=subprocess.STDOUT)
        self.processes.append(process)
        return process

    def close(self):
        for process in reversed(self.processes):
            stop(process)
        shutil.rmtree(self.work, ignore_errors=True)

    def start_service(self):
        self.service = self.spawn([self.options.demo, "--port", str(self.options.port),
                                   "--period", "60", "--manual"], log=self.service_log)
        wait_until(lambda: "listening on" in self.service_log.read_text(), 20,
                   "the demo service did not start")

    def client_folder(self, name):
        """A start folder with settings that export into its own folder."""
        folder = self.work / name
        folder.mkdir()
        (folder / "Config.dat").write_bytes(f"Path={folder}/\r\nTimezone=GMT+0\r\n".encode())
        if self.options.alarm:
            shutil.copy(self.options.alarm, folder / "Alarm.wav")
        return folder

    def client_env(self, folder, fake_start=None):
        # The clients' lock files and sockets go with the work folder.
        env = dict(os.environ, HOME=str(folder), TZ="UTC", XDG_RUNTIME_DIR=str(self.work))
        if fake_start:
            # The client's wall clock starts at fake_start and runs on at the
            # real pace; its timers keep the real monotonic clock.
            env.update(LD_PRELOAD=self.options.faketime_lib, FAKETIME="@" + fake_start,
                       FAKETIME_DONT_FAKE_MONOTONIC="1")
        return env

    def start_client(self, name, fake_start=None):
        folder = self.client_folder(name)
        t0 = now_ns()
        process = self.spawn([self.options.client], cwd=folder,
                             env=self.client_env(folder, fake_start),
                             log=folder / "client.log")
        window, mapped = wait_mapped(process, CLIENT_TITLE, log=folder / "client.log")
        return process, folder, window, mapped - t0

    def start_bare(self):
        t0 = now_ns()
        process = self.spawn([self.options.bare, str(self.size[0]), str(self.size[1])])
        window, mapped = wait_mapped(process, BARE_TITLE)
        return process, window, mapped - t0

    def log_in(self, window, folder):
        """Logs in as a user would and waits for both export files."""
        xdotool("windowraise", window)
        xdotool("windowfocus", "--sync", window)
        xdotool("type", "--delay", "10", USER)
        xdotool("key", "Tab")
        xdotool("type", "--delay", "10", PASSWORD)
        xdotool("key", "Tab", "Down", "Down", "Down")
        xdotool("mousemove", "--window", window, "476", "144", "click", "1")
        files = [folder / "Kelvo-Daily.csv", folder / "Kelvo-Hourly.csv"]
        wait_until(lambda: all(f.exists() and f.stat().st_size > 0 for f in files), 30,
                   "no export files after the login")
        return files

    def window_size(self, window):
        geometry = xdotool("getwindowgeometry", window)
        match = re.search(r"Geometry: (\d+)x(\d+)", geometry)
        if not match:
            fail(f"cannot read the window size from {geometry!r}")
        return int(match.group(1)), int(match.group(2))

    def window_area(self, window):
        """(x, y, width, height) of a window on the screen."""
        geometry = xdotool("getwindowgeometry", window)
        match = re.search(r"Position: (\d+),(\d+)", geometry)
        if not match:
            fail(f"cannot read the window position from {geometry!r}")
        return (int(match.group(1)), int(match.group(2))) + self.window_size(window)

    def screen_row(self):
        """The screen's row through the middle of the windows' area."""
        x, y, width, height = self.area
        return self.screen.row(x, y + height // 2, width)

    def settled_row(self):
        """The row once the last window has gone: the same twice running and
        no longer the picture the last window showed."""
        end = time.monotonic() + 10
        while time.monotonic() < end:
            first = self.screen_row()
            time.sleep(0.02)
            if self.screen_row() == first and first != self.last_picture:
                return first
        fail("the screen did not settle after a window closed")

    def first_frame(self, argv, cwd=None, env=None):
        """From process start until the row through the window's area
        changes: the first picture it shows, since an X window of Qt has no
        background of its own and leaves the screen as it was until it
        paints."""
        before = self.settled_row()
        t0 = now_ns()
        process = self.spawn(argv, cwd=cwd, env=env)
        end = time.monotonic() + 30
        while (row := self.screen_row()) == before:
            if process.poll() is not None or time.monotonic() > end:
                fail(f"{argv[0]} showed no picture")
        elapsed = now_ns() - t0
        self.last_picture = row
        stop(process)
        return elapsed

    # -- figures -----------------------------------------------------------

    def startup(self):
        """Interleaved runs after one warm-up of each, so that neither side
        gets the colder file cache."""
        client_ms, bare_ms = [], []
        for run in range(self.options.runs + 1):
            process, _, window, elapsed = self.start_client(f"start-{run}")
            if self.size is None:
                self.size = self.window_size(window)
                self.area = self.window_area(window)
            stop(process)
            bare, window, bare_elapsed = self.start_bare()
            if self.window_area(window) != self.area:
                fail("the bare window and the client's do not cover the same area")
            stop(bare)
            if run > 0:
                client_ms.append(elapsed / 1e6)
                bare_ms.append(bare_elapsed / 1e6)
        return client_ms, bare_ms

    def first_frames(self):
        """Interleaved like the start-up runs, each timed to its first
        picture on the screen (the runs of startup() placed the windows)."""
        client_ms, bare_ms = [], []
        for run in range(self.options.runs + 1):
            folder = self.client_folder(f"frame-{run}")
            elapsed = self.first_frame([self.options.client], cwd=folder,
                                       env=self.client_env(folder))
            bare_elapsed = self.first_frame([self.options.bare, *map(str, self.size)])
            if run > 0:
                client_ms.append(elapsed / 1e6)
                bare_ms.append(bare_elapsed / 1e6)
        return client_ms, bare_ms

    def memory_and_idle(self):
        """Runs clients side by side, each logged in, and as many bare
        windows; reads each one's peak memory, then the CPU time all of them
        use over the same idle stretch."""
        clients, bares, client_kib, bare_kib = [], [], [], []
        for run in range(self.options.runs):
            process, folder, window, _ = self.start_client(f"idle-{run}")
            self.log_in(window, folder)
            time.sleep(1.0)  # let the grid and the main panel paint
            client_kib.append(status_kib(process.pid, "VmHWM"))
            clients.append(process)
        for run in range(self.options.runs):
            process, _, _ = self.start_bare()
            time.sleep(1.0)
            bare_kib.append(status_kib(process.pid, "VmHWM"))
            bares.append(process)

        # Each process is measured over its own stretch of the same length.
        everyone = clients + bares
        start = {p.pid: (cpu_ns(p.pid), now_ns()) for p in everyone}
        time.sleep(self.options.idle_seconds)
        share = {}
        for p in everyone:
            if p.poll() is not None:
                fail(f"process {p.pid} exited while idle")
            cpu0, t0 = start[p.pid]
            share[p.pid] = 100.0 * (cpu_ns(p.pid) - cpu0) / (now_ns() - t0)
        for p in everyone:
            stop(p)
        return (client_kib, bare_kib, [share[p.pid] for p in clients],
                [share[p.pid] for p in bares])

    def logged_stamps(self, marker):
        """The monotonic ns of each line of the service's log with marker."""
        return [int(found.group(1)) for line in self.service_log.read_text().splitlines()
                if marker in line and (found := re.search(r"mono=(\d+)", line))]

    def first_request_after(self, stamp, marker, what):
        """When the first request with marker reached the service after stamp."""
        later = [t for t in self.logged_stamps(marker) if t > stamp]
        if not later:
            fail(f"no {what} reached the service")
        return later[0]

    def poll_to_export(self):
        """A client whose clock stands at minute 58, where a check falls due
        at each tick of the ten-second check timer as long as the data keeps
        changing. Before each tick the service moves on once."""
        fake_start = time.strftime("%Y-%m-%d 10:58:00", time.gmtime())
        process, folder, window, _ = self.start_client("poll", fake_start)
        files = self.log_in(window, folder)
        client_ms = []
        for run in range(self.options.runs + 1):
            before = [f.read_bytes() for f in files]
            os.kill(self.service.pid, signal.SIGUSR1)
            moves = run + 1
            wait_until(lambda: len(self.logged_stamps("moved on")) >= moves, 10,
                       "the demo service did not move on")
            # The next tick of the check timer is at most ten seconds away.
            # The files are replaced whole, so a read sees the old or the new.
            end = time.monotonic() + 30
            while any(f.read_bytes() == b for f, b in zip(files, before)):
                if time.monotonic() > end:
                    fail("the export files did not both change after the service moved on")
                time.sleep(0.0002)
            done = now_ns()
            moved = self.logged_stamps("moved on")[moves - 1]
            asked = self.first_request_after(moved, "?a=1 ", "time request after the move")
            service_time = self.fetch("a=1")
            for f in files:
                if not f.read_bytes().endswith(f",{service_time}\r\n".encode()):
                    fail(f"{f.name} does not hold the service's time {service_time}")
            if run > 0:
                client_ms.append((done - asked) / 1e6)
                signals = self.first_request_after(asked, "?u=", "signal request")
                self.poll_steps.append(((signals - asked) / 1e6, (done - signals) / 1e6))
        stop(process)

        encoded = PASSWORD[-1] + "$" + PASSWORD[2] + PASSWORD[1] + PASSWORD[0]
        signals_query = "u=" + USER + "&p=" + urllib.parse.quote(encoded, safe="") + "&s=3"
        curl_ms = []
        out = self.work / "curl"
        out.mkdir()
        for run in range(self.options.runs + 1):
            t0 = now_ns()
            for name, query in (("time", "a=1"), ("signals", signals_query)):
                subprocess.run(["curl", "-sf", "--noproxy", "*", "-o", str(out / name),
                                f"{self.base}/software/ProgSignals.php?{query}"], check=True)
            if run > 0:
                curl_ms.append((now_ns() - t0) / 1e6)
        return client_ms, curl_ms

    def fetch(self, query):
        done = subprocess.run(["curl", "-sf", "--noproxy", "*",
                               f"{self.base}/software/ProgSignals.php?{query}"],
                              capture_output=True, text=True, check=True)
        return done.stdout


def machine():
    model = "unknown"
    for line in Path("/proc/cpuinfo").read_text().splitlines():
        if line.startswith("model name"):
            model = line.split(":", 1)[1].strip()
            break
    memory = "unknown"
    for line in Path("/proc/meminfo").read_text().splitlines():
        if line.startswith("MemTotal:"):
            memory = f"{int(line.split()[1]) / 1024 / 1024:.0f} GiB"
    debian = Path("/etc/debian_version").read_text().strip() \
        if Path("/etc/debian_version").exists() else "unknown"
    qt = subprocess.run(["dpkg-query", "-W", "-f=${Version}", "libqt6core6"],
                        capture_output=True, text=True).stdout.strip() or "unknown"
    return [("Date", time.strftime("%Y-%m-%d")),
            ("CPU", f"{model}, {os.cpu_count()} cores"), ("Memory", memory),
            ("System", f"Debian {debian}, Linux {platform.release()}"),
            ("Qt", qt), ("Display", "Xvfb, no window manager")]


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--client", required=True)
    parser.add_argument("--bare", required=True)
    parser.add_argument("--demo", required=True)
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--alarm", help="Alarm.wav to put beside each client")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--idle-seconds", type=float, default=60.0)
    parser.add_argument("--faketime-lib",
                        default="/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1")
    parser.add_argument("--report", help="write the figures as Markdown here")
    parser.add_argument("--build-type", default="Release")
    parser.add_argument("--only", choices=["start-up", "memory", "poll"],
                        help="measure just this, for a quick look (no report)")
    options = parser.parse_args()
    if not 1 <= options.runs <= 9:
        fail("--runs takes 1 to 9: the poll runs must fit in two minutes of the client's clock")
    if not os.environ.get("DISPLAY"):
        fail("no DISPLAY; run me under xvfb-run")
    if not Path(options.faketime_lib).exists():
        fail(f"no {options.faketime_lib}; install the faketime package")

    bench = Bench(options)
    try:
        bench.start_service()
        if options.only in (None, "start-up"):
            start_client, start_bare = bench.startup()
            frame_client, frame_bare = bench.first_frames()
        if options.only in (None, "memory"):
            if bench.size is None:
                bench.size = bench.window_size(bench.start_client("size")[2])
            mem_client, mem_bare, idle_client, idle_bare = bench.memory_and_idle()
        if options.only in (None, "poll"):
            poll_client, poll_curl = bench.poll_to_export()
    finally:
        bench.close()

    rows = []

    def figure(name, unit, client, baseline, baseline_name, target, limit, digits=1):
        c, b = median(client), median(baseline)
        ratio = c / b if b > 0 else float("inf")
        value = c if target == "share" else ratio
        met = value < limit if target == "share" else value <= limit
        goal = f"< {limit} %" if target == "share" else f"≤ {limit}×"
        rows.append((name, f"{c:.{digits}f} {unit}", f"{b:.{digits}f} {unit} ({baseline_name})",
                     "—" if b <= 0 else f"{ratio:.2f}×", goal, "met" if met else "NOT met",
                     client, baseline))
        print(f"{name}: {c:.{digits}f} {unit} against {b:.{digits}f} {unit} for the "
              f"{baseline_name}, ratio {'n/a' if b <= 0 else f'{ratio:.2f}'}; "
              f"target {goal}: {'met' if met else 'NOT met'}")

    if options.only in (None, "start-up"):
        figure("start-up", "ms", start_client, start_bare, "bare window", "ratio", 1.2)
        figure("first frame", "ms", frame_client, frame_bare, "bare window", "ratio", 1.2)
    if options.only in (None, "memory"):
        figure("memory", "MiB", [k / 1024 for k in mem_client], [k / 1024 for k in mem_bare],
               "bare window", "ratio", 1.5)
        figure("idle CPU", "%", idle_client, idle_bare, "bare window", "share", 0.1, digits=3)
    if options.only in (None, "poll"):
        figure("poll to export", "ms", poll_client, poll_curl, "curl", "ratio", 1.5)

    if options.report and options.only is None:
        write_report(Path(options.report), options, rows, bench.poll_steps)


def write_report(path, options, rows, poll_steps):
    lines = [
        "# Benchmarks",
        "",
        "Written by `bench/run-benchmarks.sh`, which builds the client, the bare window and the "
        f"demo service in {options.build_type} and runs `bench/benchmarks.py` under Xvfb. "
        f"Every figure is the median of {options.runs} runs and is set against a baseline "
        "measured in the same run on the same machine. Run it again to refresh this page.",
        "",
        "| figure | client | baseline | ratio | target | |",
        "|---|---|---|---|---|---|",
    ]
    for name, client, baseline, ratio, goal, verdict, _, _ in rows:
        lines.append(f"| {name} | {client} | {baseline} | {ratio} | {goal} | {verdict} |")
    lines += ["", "Single runs:", ""]
    for name, _, _, _, _, _, client, baseline in rows:
        lines.append(f"- {name}: client " + ", ".join(f"{v:.3g}" for v in client) +
                     "; baseline " + ", ".join(f"{v:.3g}" for v in baseline))
    lines.append("- poll to export, the client's runs in two steps: from the time request "
                 "reaching the service to the signal request reaching it " +
                 ", ".join(f"{a:.3g}" for a, _ in poll_steps) + " ms; from there to both "
                 "files written " + ", ".join(f"{b:.3g}" for _, b in poll_steps) + " ms")
    lines += ["", "## Machine", ""]
    lines += [f"- {key}: {value}" for key, value in machine()]
    lines += ["", "## Method", "",
              "- **Start-up**: from just before the process is started until `xdotool search "
              "--onlyvisible` finds its window mapped, the client against `kelvo-bare-window`, "
              "an empty Qt Widgets window of the client's size built in the same tree with the "
              "same flags. `xdotool search --sync` looks only twice a second, so the script "
              "runs the search in a loop instead. The client starts in a folder that holds a "
              "valid `Config.dat`, so no message box comes first. Runs alternate between the "
              "two, after one warm-up run of each.",
              "- **First frame**: the same runs again, each timed from just before the process "
              "is started until its first picture is on the screen: the script reads the row "
              "of pixels through the middle of the window's place straight from the X server "
              "(libX11's `XGetImage`, a few hundred microseconds a look) until it differs from "
              "the screen before the start. A Qt window has no X background of its own, so the "
              "row changes at the first paint. This counts what the start-up figure leaves "
              "out: the window's first paint (its text and its background picture), and it "
              "does without the time an `xdotool` process takes to start.",
              "- **Memory**: peak resident memory (`VmHWM` of `/proc/PID/status`) of a client "
              "one second after its export files were written following a login as a user "
              "would (xdotool types the user name and password and clicks Login), against the "
              "bare window one second after it was mapped. The audio back end (Qt Multimedia "
              "and its libraries) is loaded at the first sound, which a login does not make; "
              "it is not in this figure.",
              f"- **Idle CPU**: the CPU time (`/proc/PID/schedstat`) the logged-in clients use "
              f"over {options.idle_seconds:.0f} seconds while the demo service, started with "
              "`--manual`, keeps its data still; as a share of one core. The clients run side "
              "by side, each its own process and settings, and the bare windows beside them "
              "over the same stretch. The client still ticks its clock once a second and asks "
              "the service for its time whenever a check falls due.",
              "- **Poll to export**: one client runs with its wall clock set to 10:58 by "
              "libfaketime (its timers keep the real monotonic clock). After a change the next "
              "check is due at once during minutes 58 and 59, so each ten-second tick of the "
              "check timer runs a cycle. Before each tick the script moves the demo service "
              "on (`SIGUSR1` to a `--manual` service); the figure runs from the moment the "
              "client's time request reaches the moved service (the service logs the monotonic "
              "clock) until both export files hold the new line, checked to end with the "
              "service's new time. The wait for the tick is left out: the check timer ticks "
              "every ten seconds by design. The baseline is `curl` making the same two "
              "requests one after the other and writing the two replies to files, timed from "
              "the start of the first curl process to the end of the second.",
              ""]
    path.write_text("\n".join(lines))


if __name__ == "__main__":
    main()
