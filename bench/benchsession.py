# SPDX-License-Identifier: GPL-3.0-or-later
"""What the scripts in bench/ share: a private X desktop, an isolated
Quillstack with its archive, copies through xclip, and readings from /proc."""
import datetime
import hashlib
import json
import os
import shutil
import signal
import struct
import subprocess
import tempfile
import threading
import time
import uuid
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, "build-compare")


def now_ms():
    return time.monotonic() * 1000.0


def run(cmd, env=None, timeout=30, check=True):
    return subprocess.run(cmd, env=env, timeout=timeout, check=check,
                          stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, text=True)


def prepare(extra_packages=""):
    """Installs what is missing and builds Quillstack in Release."""
    env = dict(os.environ, QUILLSTACK_EXTRA_PACKAGES=extra_packages)
    subprocess.run([os.path.join(ROOT, "scripts", "install-deps.sh")], env=env, check=True)
    subprocess.run(["cmake", "-S", ROOT, "-B", BUILD, "-DCMAKE_BUILD_TYPE=Release",
                    "-DQUILLSTACK_BUILD_TESTS=OFF", "-DQUILLSTACK_BUILD_BENCH=ON"],
                   check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", BUILD, "--parallel", str(os.cpu_count() or 2),
                    "--target", "quillstack", "qs-clipboard-burst"], check=True)


class Desktop:
    """Xvfb, openbox, trayer and a session bus, stopped together."""

    def __init__(self, tmp):
        self.procs = []
        read_fd, write_fd = os.pipe()
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-screen", "0",
                                 "1920x1080x24", "-nolisten", "tcp", "-noreset"],
                                pass_fds=(write_fd,), stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        os.close(write_fd)
        self.procs.append(xvfb)
        with os.fdopen(read_fd) as pipe:
            display = pipe.readline().strip()
        self.env = dict(os.environ, DISPLAY=":" + display, QT_QPA_PLATFORM="xcb")
        for var in ("WAYLAND_DISPLAY", "SESSION_MANAGER", "XDG_SESSION_TYPE"):
            self.env.pop(var, None)
        bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                               stdout=subprocess.PIPE, text=True)
        self.procs.append(bus)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().strip()
        self.procs.append(subprocess.Popen(["openbox", "--sm-disable"], env=self.env,
                                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        wait_until(lambda: "window id" in run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"],
                                               env=self.env, check=False).stdout, 10)
        self.procs.append(subprocess.Popen(["trayer", "--edge", "top", "--align", "right"],
                                           env=self.env, stdout=subprocess.DEVNULL,
                                           stderr=subprocess.DEVNULL))
        time.sleep(0.5)

    def stop(self):
        for proc in reversed(self.procs):
            proc.terminate()
        for proc in self.procs:
            try:
                proc.wait(5)
            except subprocess.TimeoutExpired:
                proc.kill()


def wait_until(predicate, timeout, step=0.005):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if predicate():
            return True
        time.sleep(step)
    return False


def process_tree(pid):
    children = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
            children.setdefault(int(fields[1]), []).append(int(entry))
        except OSError:
            continue
    tree, todo = [], [pid]
    while todo:
        p = todo.pop()
        tree.append(p)
        todo.extend(children.get(p, []))
    return tree


def rss_kib(pids):
    total = 0
    for pid in pids:
        try:
            with open(f"/proc/{pid}/status") as f:
                for line in f:
                    if line.startswith("VmRSS:"):
                        total += int(line.split()[1])
        except OSError:
            pass
    return total


def cpu_seconds(pids):
    ticks = 0
    for pid in pids:
        try:
            with open(f"/proc/{pid}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
            ticks += int(fields[11]) + int(fields[12])
        except OSError:
            pass
    return ticks / os.sysconf("SC_CLK_TCK")


def thread_switches(pids):
    """Voluntary context switches of every thread of these processes, by thread: each one is
    a time the thread went to sleep, so over an idle window they count its wake-ups."""
    counts = {}
    for pid in pids:
        try:
            tasks = os.listdir(f"/proc/{pid}/task")
        except OSError:
            continue
        for tid in tasks:
            try:
                with open(f"/proc/{pid}/task/{tid}/comm") as f:
                    name = f.read().strip()
                with open(f"/proc/{pid}/task/{tid}/status") as f:
                    for line in f:
                        if line.startswith("voluntary_ctxt_switches:"):
                            counts[(int(tid), name)] = int(line.split()[1])
            except OSError:
                continue
    return counts


def voluntary_switches(pids):
    return sum(thread_switches(pids).values())


def copy_text(env, text):
    """Copies through a new xclip owner; returns the time xclip returned."""
    subprocess.run(["xclip", "-selection", "clipboard", "-i"], input=text, text=True, env=env,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
    return now_ms()


def sample_texts(count, size, tag):
    base = "The quick brown fox jumps over the lazy dog while the clipboard keeps every word. "
    body = (base * (size // len(base) + 1))[:size]
    return [f"{tag}-{i:05d} {body}"[:size] for i in range(count)]


class Program:
    name = ""

    def __init__(self, desktop, tmp):
        self.desktop = desktop
        self.home = tempfile.mkdtemp(prefix=self.name.lower() + "-", dir=tmp)
        self.env = dict(desktop.env, HOME=self.home,
                        XDG_CONFIG_HOME=os.path.join(self.home, ".config"),
                        XDG_DATA_HOME=os.path.join(self.home, ".local", "share"),
                        XDG_CACHE_HOME=os.path.join(self.home, ".cache"),
                        XDG_RUNTIME_DIR=os.path.join(self.home, "run"))
        os.makedirs(self.env["XDG_RUNTIME_DIR"], mode=0o700)
        os.makedirs(self.env["XDG_CONFIG_HOME"])
        os.makedirs(self.env["XDG_DATA_HOME"])
        self.proc = None
        self.started = 0.0
        self.options = {}

    def fresh(self):
        """Forgets the history: a new home folder, same settings."""
        self.stop()
        shutil.rmtree(self.home)
        self.__init__(self.desktop, os.path.dirname(self.home), **self.options)

    def launch(self):
        self.started = now_ms()
        self.proc = subprocess.Popen(self.command(), env=self.env, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)

    def pids(self):
        return process_tree(self.proc.pid) if self.proc else []

    def has_window(self):
        return run(["xdotool", "search", "--pid", str(self.proc.pid)], env=self.env,
                   check=False).returncode == 0

    def wait_started(self, timeout, windows=None):
        """Waits until the program answers. Its client (a program of its own) is only asked
        once the program has a window: started every few milliseconds from launch, the clients
        would take the processor from the very start being timed. With `windows` (an XInput
        cleared before the launch), the first window is seen by its CreateNotify on the root,
        which costs the start nothing; else by polling with xdotool."""
        if windows:
            seen = windows.wait_for(XInput.CREATE_NOTIFY, timeout) is not None
        else:
            seen = wait_until(self.has_window, timeout, 0.01)
        return seen and wait_until(self.ready, timeout, 0.02)

    def kill(self):
        for pid in self.pids():
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        self.proc.wait()
        self.proc = None

    def stop(self):
        if not self.proc:
            return
        self.quit()
        try:
            self.proc.wait(15)
        except subprocess.TimeoutExpired:
            self.kill()
        self.proc = None


class Quillstack(Program):
    name = "Quillstack"
    binary = os.path.join(BUILD, "src", "quillstack")

    def __init__(self, desktop, tmp, limits=None):
        super().__init__(desktop, tmp)
        self.options = {"limits": limits}
        limits = {"maxClipCount": 10000} if limits is None else limits
        folder = os.path.join(self.env["XDG_CONFIG_HOME"], "Quillstack")
        os.makedirs(folder, exist_ok=True)
        settings = "[General]\n" + "".join(f"{k}={v}\n" for k, v in limits.items())
        # Older builds read .ini, newer ones .conf.
        for name in ("Quillstack.conf", "Quillstack.ini"):
            with open(os.path.join(folder, name), "w") as f:
                f.write(settings)
        self.archive = os.path.join(self.env["XDG_DATA_HOME"], "Quillstack", "clips.json")
        # Each change is saved as a synced line here before the archive takes it in.
        self.journal = os.path.join(self.env["XDG_DATA_HOME"], "Quillstack", "clips.journal")
        self.has_cli = has_command_line(self.binary, self.env)

    def command(self):
        return [self.binary]

    def quit(self):
        self.proc.terminate()

    def ready(self):
        if self.has_cli:
            return run([self.binary, "--list", "1"], env=self.env, check=False).returncode == 0
        return run(["xdotool", "search", "--pid", str(self.proc.pid)], env=self.env,
                   check=False).returncode == 0

    def archive_bytes(self):
        return read_bytes(self.archive)

    def journal_bytes(self):
        return read_bytes(self.journal)

    def recorded(self, tokens):
        """The tokens durably saved: in the journal or in the archive."""
        data = self.journal_bytes() + self.archive_bytes()
        return [t for t in tokens if t.encode() in data]

    def history(self):
        """The whole history as `quillstack --export` prints it (from the running program, or
        from the files when none runs), or None when it fails."""
        result = run([self.binary, "--export"], env=self.env, timeout=60, check=False)
        try:
            return json.loads(result.stdout) if result.returncode == 0 else None
        except ValueError:
            return None

    def watch(self, token):
        """Starts watching for `token`; the result's wait() gives the time it was seen."""
        return FileWatch(self, token.encode())

    def seed(self, texts):
        os.makedirs(os.path.dirname(self.archive), mode=0o700, exist_ok=True)
        now = datetime.datetime.now(datetime.timezone.utc).replace(microsecond=0)
        clips = []
        for i, text in enumerate(texts):
            data = text.encode()
            clips.append({
                "byteSize": len(data),
                "contentHash": hashlib.sha256(data).hexdigest(),
                "createdAt": (now - datetime.timedelta(seconds=i)).strftime("%Y-%m-%dT%H:%M:%SZ"),
                "id": str(uuid.uuid4()).upper(),
                "isKept": False,
                "kind": "text",
                "preview": text[:220],
                "text": text,
            })
        with open(self.archive, "w") as f:
            json.dump(clips, f, indent=4, sort_keys=True)
        os.chmod(self.archive, 0o600)


def read_bytes(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError:
        return b""


def has_command_line(binary, env):
    # A build without a command line takes --help for a start of the program.
    try:
        return "--list" in run([binary, "--help"], env=env, timeout=5, check=False).stdout
    except subprocess.TimeoutExpired:
        return False


class FileWatch:
    def __init__(self, program, needle):
        self.seen = None
        self.thread = threading.Thread(target=self.poll, args=(program, needle), daemon=True)
        self.thread.start()

    def poll(self, program, needle):
        """Durably saved: the copy's journal line is on disk (it is synced before it counts as
        saved). The archive is looked at too, now and then, in case a compaction took the line
        in between; reading it on every turn would cost more than the change itself."""
        deadline = time.monotonic() + 10
        turn = 0
        while time.monotonic() < deadline:
            if needle in program.journal_bytes() or (turn % 50 == 0 and needle in program.archive_bytes()):
                self.seen = now_ms()
                return
            turn += 1
            time.sleep(0.001)

    def wait(self):
        self.thread.join()
        return self.seen


def png(width, height, seed):
    """A small valid PNG whose pixels depend on `seed`."""
    rows = b"".join(b"\0" + bytes((seed + x + y) % 256 for x in range(width * 3))
                    for y in range(height))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


class XInput:
    """Key presses through XTEST and CreateNotify/MapNotify/UnmapNotify of top-level
    windows, on connections of this process: no helper process start is timed."""

    CREATE_NOTIFY, MAP_NOTIFY, UNMAP_NOTIFY, SUBSTRUCTURE_NOTIFY_MASK = 16, 19, 18, 1 << 19

    def __init__(self, display):
        import ctypes
        self.ctypes = ctypes
        self.x11 = ctypes.CDLL("libX11.so.6")
        self.xtst = ctypes.CDLL("libXtst.so.6")
        self.x11.XOpenDisplay.restype = ctypes.c_void_p
        self.x11.XDefaultRootWindow.restype = ctypes.c_ulong
        self.x11.XStringToKeysym.restype = ctypes.c_ulong
        self.keys = self.x11.XOpenDisplay(display.encode())
        self.watch = self.x11.XOpenDisplay(display.encode())
        root = self.x11.XDefaultRootWindow(ctypes.c_void_p(self.watch))
        self.x11.XSelectInput(ctypes.c_void_p(self.watch), ctypes.c_ulong(root),
                              ctypes.c_long(self.SUBSTRUCTURE_NOTIFY_MASK))
        self.x11.XFlush(ctypes.c_void_p(self.watch))
        self.events = []
        self.lock = threading.Condition()
        self.running = True
        self.thread = threading.Thread(target=self.read, daemon=True)
        self.thread.start()

    def read(self):
        import select
        event = self.ctypes.create_string_buffer(192)
        display = self.ctypes.c_void_p(self.watch)
        fd = self.x11.XConnectionNumber(display)
        while self.running:
            if not self.x11.XPending(display):
                # Sleeps in the kernel until the server writes: a start being timed
                # does not share the processor with this loop.
                select.select([fd], [], [], 0.1)
                continue
            self.x11.XNextEvent(display, event)
            kind = int.from_bytes(event.raw[:4], "little")
            if kind in (self.CREATE_NOTIFY, self.MAP_NOTIFY, self.UNMAP_NOTIFY):
                with self.lock:
                    self.events.append((now_ms(), kind))
                    self.lock.notify_all()

    def clear(self):
        with self.lock:
            self.events.clear()

    def first(self, kind):
        with self.lock:
            return next((t for t, k in self.events if k == kind), None)

    def wait_for(self, kind, timeout):
        """Blocks until an event of `kind` arrived since the last clear(); its time or None."""
        with self.lock:
            self.lock.wait_for(lambda: any(k == kind for _, k in self.events), timeout)
        return self.first(kind)

    def chord(self, *keysyms):
        """Presses the keys in order and releases them in reverse; returns the release time."""
        display = self.ctypes.c_void_p(self.keys)
        codes = [self.x11.XKeysymToKeycode(display, self.ctypes.c_ulong(
            self.x11.XStringToKeysym(k.encode()))) for k in keysyms]
        for code in codes:
            self.xtst.XTestFakeKeyEvent(display, code, 1, 0)
        for code in reversed(codes):
            self.xtst.XTestFakeKeyEvent(display, code, 0, 0)
        self.x11.XFlush(display)
        return now_ms()

    def close(self):
        self.running = False
        self.thread.join()
        self.x11.XCloseDisplay(self.ctypes.c_void_p(self.keys))
        self.x11.XCloseDisplay(self.ctypes.c_void_p(self.watch))
