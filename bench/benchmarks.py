#!/usr/bin/env python3
"""Measures the real client under X against baselines taken in the same run.

    benchmarks.py --client BIN --same-frame BIN --bare BIN --demo BIN --port N
                  [--runs 5] [--idle-seconds 60] [--report FILE] [--alarm WAV]

Needs a display (run it under xvfb-run), xdotool, trayer and curl. The
client must have been built for http://127.0.0.1:PORT. Prints one line per
figure; with --report also writes the figures and the method as Markdown.

Figures, each the median of --runs runs. The start-up and memory figures are
set against two baselines: a plain Qt program that draws the client's first
frame (the same-frame window, the one the targets are set against), and an
empty Qt Widgets window of the same size.
  start-up      process start until the window is mapped;
  first frame   process start until the window's first picture is on the
                screen;
  memory        peak resident memory (VmHWM) after login with the signals
                shown, against the baselines once mapped;
  idle CPU      CPU time of all threads over --idle-seconds while logged in,
                hidden to the notification area and nothing changes, as a
                share of one core;
  wake-ups      context switches of all threads over the same stretch, per
                second;
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
import select
import signal
import statistics
import struct
import subprocess
import sys
import tempfile
import time
import urllib.parse
from pathlib import Path

CLIENT_TITLE = "Kelvo-Rozevid - Connecting you to profitable trading"
SAME_TITLE = "Same-frame window"
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


def per_thread(pid, read):
    """{thread id: read(its /proc folder)} for the process's threads; a
    thread that ends meanwhile is left out."""
    values = {}
    for task in Path(f"/proc/{pid}/task").iterdir():
        try:
            values[task.name] = read(task)
        except (FileNotFoundError, ProcessLookupError):
            pass
    return values


def resident_by_file(pid):
    """Resident KiB of each shared library mapped into the process."""
    resident, current = {}, None
    for line in Path(f"/proc/{pid}/smaps").read_text().splitlines():
        fields = line.split()
        if re.match(r"[0-9a-f]+-[0-9a-f]+ ", line):
            current = fields[5] if len(fields) > 5 and ".so" in fields[5] else None
        elif fields[0] == "Rss:" and current:
            resident[current] = resident.get(current, 0) + int(fields[1])
    return resident


def libcurl_cost(client, same):
    """What Debian's libcurl brings: of the libraries the client has mapped
    and the same-frame window has not, those that libcurl needs, by resident
    KiB. (Their names, their number, their KiB.)"""
    curl = next((f for f in client if "/libcurl" in f), None)
    if not curl:
        return [], 0
    needs = set(re.findall(r"=> (\S+)", subprocess.run(["ldd", curl], capture_output=True,
                                                        text=True).stdout))
    needs = {os.path.realpath(f) for f in needs} | {os.path.realpath(curl)}
    extra = {f: kib for f, kib in client.items()
             if os.path.realpath(f) in needs and f not in same}
    return sorted(Path(f).name for f in extra), sum(extra.values())


def cpu_ns(pid):
    """CPU time of the process's threads so far: from schedstat
    (nanoseconds) when the kernel keeps it, else from stat (clock ticks)."""
    if Path(f"/proc/{pid}/schedstat").exists():
        return sum(per_thread(pid, lambda task: int(
            (task / "schedstat").read_text().split()[0])).values())
    fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) * 1_000_000_000 // CLK_TCK


def context_switches(pid):
    """{thread id: its voluntary and involuntary context switches so far}: a
    thread that waits and is woken again counts one."""
    def read(task):
        return sum(int(line.split()[1]) for line in (task / "status").read_text().splitlines()
                   if line.startswith(("voluntary_ctxt_switches:",
                                       "nonvoluntary_ctxt_switches:")))
    return per_thread(pid, read)


def switches_between(before, after):
    """The context switches of all threads from one reading to the next. A
    thread that has ended meanwhile took its count with it; it counts one,
    the wake-up that ended it."""
    return (sum(count - before.get(tid, 0) for tid, count in after.items()) +
            sum(1 for tid in before if tid not in after))


def quiet_zone():
    """A time zone whose clock stays well clear of minutes 58 and 59 for the
    next seven minutes: there a logged-in client's check falls due every ten
    seconds, and an idle client would not be idle."""
    minute = time.gmtime().tm_min
    return "UTC" if 3 <= minute <= 50 else "XXX-0:30"


def median(values):
    return statistics.median(values)


class Screen:
    """The X server seen straight through libX11 (ctypes): one row of the
    screen's pixels, a few hundred microseconds a look, so that the first
    picture a window shows can be timed; and the windows mapped on the
    screen, as the server tells them."""

    MAP_NOTIFY = 19
    SUBSTRUCTURE_NOTIFY_MASK = 1 << 19

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
        x11.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
        x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        x11.XPending.argtypes = [ctypes.c_void_p]
        x11.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
        x11.XConnectionNumber.argtypes = [ctypes.c_void_p]
        self.x11 = x11
        self.display = x11.XOpenDisplay(None)
        if not self.display:
            fail("cannot open the display")
        self.root = x11.XDefaultRootWindow(self.display)
        # With no window manager, a program's window is a child of the root
        # window: the server reports its mapping to whoever asks for the
        # root's substructure events.
        x11.XSelectInput(self.display, self.root, self.SUBSTRUCTURE_NOTIFY_MASK)
        self.event = ctypes.create_string_buffer(192)  # an XEvent
        self.drain()

    def drain(self):
        """Forgets the windows mapped so far."""
        self.x11.XSync(self.display, 0)
        while self.x11.XPending(self.display):
            self.x11.XNextEvent(self.display, self.event)

    def next_map(self, limit):
        """(window id, monotonic ns) of the next window mapped on the root
        window, menus and tool tips aside, or None within limit seconds."""
        end = time.monotonic() + limit
        while True:
            while self.x11.XPending(self.display):
                self.x11.XNextEvent(self.display, self.event)
                kind, = struct.unpack_from("i", self.event, 0)
                window, override_redirect = struct.unpack_from("Li", self.event, 40)
                if kind == self.MAP_NOTIFY and not override_redirect:
                    return window, now_ns()
            remaining = end - time.monotonic()
            if remaining <= 0:
                return None
            select.select([self.x11.XConnectionNumber(self.display)], [], [],
                          min(remaining, 0.05))

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
        self.area = None  # where the client's and the baselines' windows show
        self.screen = Screen()
        self.last_picture = None
        self.first_pictures = {}  # program: the row its first picture showed
        self.poll_steps = []  # (time request to signal request, then to files), ms
        self.libcurl = ([], 0)  # what Debian's libcurl brings: libraries, resident KiB

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

    def client_env(self, folder, fake_start=None, zone="UTC"):
        # The clients' lock files and sockets go with the work folder.
        env = dict(os.environ, HOME=str(folder), TZ=zone, XDG_RUNTIME_DIR=str(self.work))
        if fake_start:
            # The client's wall clock starts at fake_start and runs on at the
            # real pace; its timers keep the real monotonic clock.
            env.update(LD_PRELOAD=self.options.faketime_lib, FAKETIME="@" + fake_start,
                       FAKETIME_DONT_FAKE_MONOTONIC="1")
        return env

    def start_client(self, name, fake_start=None, zone="UTC"):
        folder = self.client_folder(name)
        self.screen.drain()
        t0 = now_ns()
        process = self.spawn([self.options.client], cwd=folder,
                             env=self.client_env(folder, fake_start, zone),
                             log=folder / "client.log")
        window, mapped = self.wait_mapped(process, CLIENT_TITLE, log=folder / "client.log")
        return process, folder, window, mapped - t0

    def wait_mapped(self, process, title, limit=30.0, log=None):
        """Waits until the process maps its window of this title; returns
        (window id, monotonic ns of the mapping as the server reported it)."""
        end = time.monotonic() + limit
        while time.monotonic() < end:
            mapped = self.screen.next_map(0.2)
            if mapped and visible_window(process.pid, title) == str(mapped[0]):
                return str(mapped[0]), mapped[1]
            if process.poll() is not None:
                said = Path(log).read_text(errors="replace")[-2000:] if log else ""
                fail(f"{title!r} exited with {process.returncode} before its window showed\n{said}")
        fail(f"no window {title!r} within {limit:.0f} s")

    def baseline(self, kind):
        """The command line and window title of a baseline: "same" or "bare"."""
        if kind == "same":
            return [self.options.same_frame], SAME_TITLE
        return [self.options.bare, str(self.size[0]), str(self.size[1])], BARE_TITLE

    def start_baseline(self, kind):
        argv, title = self.baseline(kind)
        self.screen.drain()
        t0 = now_ns()
        process = self.spawn(argv)
        window, mapped = self.wait_mapped(process, title)
        return process, window, mapped - t0

    def hide(self, process, window):
        """Clicks "Minimize" and waits until the window is hidden to the
        notification area."""
        xdotool("windowraise", window)
        xdotool("mousemove", "--window", window, "156", "160", "click", "1")
        wait_until(lambda: visible_window(process.pid, CLIENT_TITLE) is None, 10,
                   "Minimize did not hide the client to the notification area")

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
        """Interleaved runs of the client and both baselines after one
        warm-up of each, so that none gets the colder file cache. Returns
        the milliseconds of each: {"client": [...], "same": [...], ...}."""
        ms = {"client": [], "same": [], "bare": []}
        for run in range(self.options.start_runs + 1):
            process, _, window, elapsed = self.start_client(f"start-{run}")
            if self.size is None:
                self.size = self.window_size(window)
                self.area = self.window_area(window)
            stop(process)
            times = {"client": elapsed}
            for kind in ("same", "bare"):
                baseline, window, times[kind] = self.start_baseline(kind)
                if self.window_area(window) != self.area:
                    fail(f"the {kind} baseline's window and the client's do not cover the same area")
                stop(baseline)
            if run > 0:
                for kind, elapsed in times.items():
                    ms[kind].append(elapsed / 1e6)
        return ms

    def first_frames(self):
        """Interleaved like the start-up runs, each timed to its first
        picture on the screen (the runs of startup() placed the windows).
        The same-frame window must show the very row of pixels the client
        shows first, or it would not be the client's first frame."""
        ms = {"client": [], "same": [], "bare": []}
        for run in range(self.options.start_runs + 1):
            folder = self.client_folder(f"frame-{run}")
            times = {"client": self.first_frame([self.options.client], cwd=folder,
                                                env=self.client_env(folder))}
            client_picture = self.last_picture
            for kind in ("same", "bare"):
                times[kind] = self.first_frame(self.baseline(kind)[0])
                if kind == "same" and self.last_picture != client_picture:
                    fail("the same-frame window's first picture differs from the client's")
            if run > 0:
                for kind, elapsed in times.items():
                    ms[kind].append(elapsed / 1e6)
        return ms

    def memory_and_idle(self):
        """Runs clients side by side, each logged in, and as many windows of
        each baseline; reads each one's peak memory, then hides the clients
        to the notification area (trayer's) and takes the CPU time and the
        context switches all of them have over the same idle stretch.
        Returns {"client": {"kib": [...], "cpu": [...], "wakeups": [...]},
        "same": {...}, "bare": {...}}."""
        zone = quiet_zone()
        processes = {"client": [], "same": [], "bare": []}
        kib = {"client": [], "same": [], "bare": []}
        windows = []
        for run in range(self.options.runs):
            process, folder, window, _ = self.start_client(f"idle-{run}", zone=zone)
            self.log_in(window, folder)
            time.sleep(1.0)  # let the grid and the main panel paint
            kib["client"].append(status_kib(process.pid, "VmHWM"))
            if run == 0:
                client_files = resident_by_file(process.pid)
            processes["client"].append(process)
            windows.append(window)
        tray = self.spawn(["trayer", "--edge", "top", "--align", "right",
                           "--widthtype", "request", "--height", "24"])
        wait_until(lambda: xdotool("search", "--onlyvisible", "--pid", str(tray.pid),
                                   "--class", "trayer", check=False), 10,
                   "trayer did not start")
        for process, window in zip(processes["client"], windows):
            self.hide(process, window)
        settled = time.monotonic() + self.options.settle_seconds
        for kind in ("same", "bare"):
            for run in range(self.options.runs):
                process, _, _ = self.start_baseline(kind)
                time.sleep(1.0)
                kib[kind].append(status_kib(process.pid, "VmHWM"))
                if kind == "same" and run == 0:
                    self.libcurl = libcurl_cost(client_files, resident_by_file(process.pid))
                processes[kind].append(process)

        # Qt's pooled threads, which the clients' requests started, end
        # after thirty idle seconds: the stretch starts once they are gone.
        time.sleep(max(0.0, settled - time.monotonic()))
        # Each process is measured over its own stretch of the same length.
        everyone = [p for group in processes.values() for p in group]
        requests_before = self.service_log.read_text()
        start = {p.pid: (cpu_ns(p.pid), context_switches(p.pid), now_ns()) for p in everyone}
        time.sleep(self.options.idle_seconds)
        measured = {}
        for p in everyone:
            if p.poll() is not None:
                fail(f"process {p.pid} exited while idle")
            cpu0, switches0, t0 = start[p.pid]
            cpu1, switches1, t1 = cpu_ns(p.pid), context_switches(p.pid), now_ns()
            measured[p.pid] = (100.0 * (cpu1 - cpu0) / (t1 - t0),
                               switches_between(switches0, switches1) / ((t1 - t0) / 1e9))
        if self.service_log.read_text() != requests_before:
            fail("a client asked the service for something during the idle stretch")
        for p in everyone:
            stop(p)
        stop(tray)
        return {kind: {"kib": kib[kind], "cpu": [measured[p.pid][0] for p in group],
                       "wakeups": [measured[p.pid][1] for p in group]}
                for kind, group in processes.items()}

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
    parser.add_argument("--same-frame", required=True)
    parser.add_argument("--bare", required=True)
    parser.add_argument("--demo", required=True)
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--alarm", help="Alarm.wav to put beside each client")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--start-runs", type=int, default=21,
                        help="runs of the start-up and first-frame figures, which the load "
                        "of a shared machine scatters most (default 21)")
    parser.add_argument("--idle-seconds", type=float, default=60.0)
    parser.add_argument("--settle-seconds", type=float, default=35.0,
                        help="idle time of the hidden clients before the idle stretch")
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

    load_before = os.getloadavg()
    bench = Bench(options)
    try:
        bench.start_service()
        if options.only in (None, "start-up"):
            start_ms = bench.startup()
            frame_ms = bench.first_frames()
        if options.only in (None, "memory"):
            if bench.size is None:
                bench.size = bench.window_size(bench.start_client("size")[2])
            idle = bench.memory_and_idle()
        if options.only in (None, "poll"):
            poll_client, poll_curl = bench.poll_to_export()
    finally:
        bench.close()
    load = (load_before, os.getloadavg())

    rows = []

    def figure(name, unit, client, baseline, baseline_name, target=None, limit=None, digits=1):
        """One line: the client's median against the baseline's. target is
        "ratio" (client/baseline at most limit), "share" (the client's value,
        a percentage, below limit), "rate" (the client's value at most limit)
        or None: a line for reference, judged by no target."""
        c, b = median(client), median(baseline)
        ratio = c / b if b > 0 else float("inf")
        if target is None:
            goal, verdict = "", ""
        else:
            value = ratio if target == "ratio" else c
            met = value < limit if target == "share" else value <= limit
            goal = {"ratio": f"≤ {limit}×", "share": f"< {limit} %", "rate": f"≤ {limit} {unit}"}[target]
            verdict = "met" if met else "NOT met"
        rows.append((name, f"{c:.{digits}f} {unit}", f"{b:.{digits}f} {unit} ({baseline_name})",
                     "—" if b <= 0 else f"{ratio:.2f}×", goal, verdict, client, baseline))
        print(f"{name}: {c:.{digits}f} {unit} against {b:.{digits}f} {unit} for the "
              f"{baseline_name}, ratio {'n/a' if b <= 0 else f'{ratio:.2f}'}; " +
              (f"target {goal}: {verdict}" if target else "for reference"))

    if options.only in (None, "start-up"):
        for name, ms in (("start-up", start_ms), ("first frame", frame_ms)):
            figure(name, "ms", ms["client"], ms["same"], "same-frame window", "ratio", 1.05)
            figure(name, "ms", ms["client"], ms["bare"], "empty window")
    if options.only in (None, "memory"):
        mib = {kind: [k / 1024 for k in idle[kind]["kib"]] for kind in idle}
        figure("memory", "MiB", mib["client"], mib["same"], "same-frame window", "ratio", 1.25)
        figure("memory", "MiB", mib["client"], mib["bare"], "empty window")
        print(f"libcurl and what it needs: {len(bench.libcurl[0])} libraries, "
              f"{bench.libcurl[1] / 1024:.1f} MiB resident")
        figure("idle CPU", "%", idle["client"]["cpu"], idle["same"]["cpu"], "same-frame window",
               "share", 0.1, digits=3)
        figure("wake-ups", "/s", idle["client"]["wakeups"], idle["same"]["wakeups"],
               "same-frame window", "rate", 1.2, digits=2)
    if options.only in (None, "poll"):
        figure("poll to export", "ms", poll_client, poll_curl, "curl", "ratio", 1.5)

    if options.report and options.only is None:
        write_report(Path(options.report), options, rows, bench.poll_steps, load, bench.libcurl)


def kept_section(path, heading):
    """The lines of the report's section under heading, up to the next
    section of the same level, if the report has one: another tool writes
    it, and a new report keeps it."""
    if not path.exists():
        return []
    lines = path.read_text().splitlines()
    if heading not in lines:
        return []
    first = lines.index(heading)
    last = next((i for i in range(first + 1, len(lines)) if lines[i].startswith("## ")),
                len(lines))
    while last > first and not lines[last - 1].strip():
        last -= 1
    return lines[first:last]


def write_report(path, options, rows, poll_steps, load, libcurl):
    lines = [
        "# Benchmarks",
        "",
        "Written by `bench/run-benchmarks.sh`, which builds the client, its two baselines and "
        f"the demo service in {options.build_type} and runs `bench/benchmarks.py` under Xvfb. "
        f"Every figure is the median of {options.runs} runs ({options.start_runs} for start-up "
        "and first frame) and is set against a baseline "
        "measured in the same run on the same machine: the start-up and memory figures "
        "against a plain Qt program that draws the client's first frame (the same-frame "
        "window, which the targets are set against), and again against an empty Qt window. "
        "Run it again to refresh this page.",
        "",
        "| figure | client | baseline | ratio | target | |",
        "|---|---|---|---|---|---|",
    ]
    for name, client, baseline, ratio, goal, verdict, _, _ in rows:
        lines.append(f"| {name} | {client} | {baseline} | {ratio} | {goal} | {verdict} |")
    lines += ["", "Single runs:", ""]
    for name, _, baseline_text, _, _, _, client, baseline in rows:
        baseline_name = baseline_text[baseline_text.index("(") + 1:-1]
        lines.append(f"- {name}: client " + ", ".join(f"{v:.3g}" for v in client) +
                     f"; {baseline_name} " + ", ".join(f"{v:.3g}" for v in baseline))
    lines.append("- poll to export, the client's runs in two steps: from the time request "
                 "reaching the service to the signal request reaching it " +
                 ", ".join(f"{a:.3g}" for a, _ in poll_steps) + " ms; from there to both "
                 "files written " + ", ".join(f"{b:.3g}" for _, b in poll_steps) + " ms")
    names, kib = libcurl
    lines.append(f"- libcurl, in the network module, and the libraries it needs that the "
                 f"same-frame window does not load: {len(names)} libraries, {kib / 1024:.1f} MiB "
                 f"of the client's resident memory after login ({', '.join(names)})")
    lines += ["", "## Machine", ""]
    lines += [f"- {key}: {value}" for key, value in machine()]
    lines.append(f"- Load: 1-minute load average {load[0][0]:.2f} at the start, "
                 f"{load[1][0]:.2f} at the end (other work on the machine stretches the times "
                 "and scatters them: see the single runs)")
    lines += ["", "## Method", "",
              "- **Start-up**: from just before the process is started until the X server "
              "reports its window mapped (the script listens to the root window's "
              "`MapNotify` events through libX11, and checks with `xdotool` that the window is "
              "the process's), the client against two baselines built in the same tree with "
              "the same flags. `kelvo-same-frame-window` is a plain Qt "
              "Widgets program that draws the client's first frame, its login panel: the same "
              "background picture, three labels, two text boxes, the combo box and the Login "
              "button, in the same places, colours and fonts, the user name box holding the "
              "focus; like any window with text it loads fonts. `kelvo-bare-window` is an empty "
              "Qt Widgets window of the client's size, which loads none. The client starts in a "
              "folder that holds a valid `Config.dat`, so no message box comes first. Runs "
              "alternate between the three, after one warm-up run of each; start-up and first "
              f"frame, which the load of a shared machine scatters most, take "
              f"{options.start_runs} runs (`--start-runs`).",
              "- **First frame**: the same runs again, each timed from just before the process "
              "is started until its first picture is on the screen: the script reads the row "
              "of pixels through the middle of the window's place straight from the X server "
              "(libX11's `XGetImage`, a few hundred microseconds a look) until it differs from "
              "the screen before the start. A Qt window has no X background of its own, so the "
              "row changes at the first paint. This counts what the start-up figure leaves "
              "out: the window's first paint (its text and its background picture). The same-frame "
              "window's first row must be the very pixels of the client's, or the script "
              "stops.",
              "- **Memory**: peak resident memory (`VmHWM` of `/proc/PID/status`) of a client "
              "one second after its export files were written following a login as a user "
              "would (xdotool types the user name and password and clicks Login), against "
              "each baseline one second after it was mapped. The audio back end (Qt "
              "Multimedia and its libraries) is loaded at the first sound, which a login does "
              "not make; it is not in this figure.",
              "- **Idle CPU** and **wake-ups**: the logged-in clients are hidden to the "
              "notification area (`trayer`, an XEmbed tray) with \"Minimize\", and the demo "
              "service, started with `--manual`, keeps its data still. "
              f"{options.settle_seconds:.0f} seconds after the clients were hidden (Qt's "
              "pooled threads, which the login's requests started, end after thirty idle "
              "seconds; a client that has waited long has none), and over "
              f"{options.idle_seconds:.0f} seconds, the script takes each process's CPU time "
              "(`/proc/PID/task/*/schedstat`, as a share of one core) and its context switches "
              "(`voluntary_ctxt_switches` and `nonvoluntary_ctxt_switches` of "
              "`/proc/PID/task/*/status`, per second), all threads summed: a thread that "
              "waits and is woken counts one, and a thread that ends counts one. The clients run side by side, each its own "
              "process and settings, and the baselines' windows beside them over the same "
              "stretch. The clients' clocks are kept clear of minutes 58 and 59 (by a time "
              "zone half an hour off UTC where needed), so that no check falls due and none "
              "asks the service anything; the script stops if one does. What is left is the "
              "clock's one-second timer and the ten-second check timer: 1.1 wake-ups a second.",
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
    # Sections other tools or people write, kept in this order (Windows' last).
    for heading in ("## The HTTP client", "## The History window", "## Windows"):
        kept = kept_section(path, heading)
        if kept:
            lines += kept + [""]
    path.write_text("\n".join(lines))


if __name__ == "__main__":
    main()
