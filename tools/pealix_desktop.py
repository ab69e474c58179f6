# SPDX-FileCopyrightText: 2026 The Pealix developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""A private desktop session for driving Pealix from outside, as a user or a screen reader would.

A session has its own home and XDG directories, its own session bus, an X server (Xvfb) and,
on request, the accessibility bus. Programs started in it log with monotonic time stamps, so a
line they print can be timed against a moment taken here (time.monotonic is the same clock).
"""

import contextlib
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

# Qt's "%{time boot}" is CLOCK_MONOTONIC in seconds with milliseconds, the clock of time.monotonic.
MESSAGE_PATTERN = "%{time boot} %{category}: %{message}"
_stamped = re.compile(r"^\s*(\d+\.\d+) (.*)$")

AGENT_IN_PANE = "Contents/Resources/PealixTool.app/Contents/Linux/PealixTool"
SETTINGS = ".config/pealix/com.quorlenvik.pealix.plist"


def private_pids():
    """Runs this script again as the first process of a pid namespace with its own /proc, as root or in a
    user namespace of its own. The pane stops every agent of the user; in here it sees only this script's.
    Exits 77 (skipped) where no namespace can be had."""
    if os.environ.get("PEALIX_PRIVATE_PIDS") == "1":
        return
    env = dict(os.environ, PEALIX_PRIVATE_PIDS="1")
    base = ["unshare", "--pid", "--fork", "--mount-proc", "--kill-child"]
    for extra in ([], ["--user", "--map-current-user"]):
        probe = subprocess.run(base + extra + ["true"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if probe.returncode == 0:
            sys.stdout.flush()
            os.execvpe("unshare", base + extra + [sys.executable] + sys.argv, env)
    print("SKIP: no pid namespace of its own here")
    sys.exit(77)


class Program:
    """A child whose standard error is read line by line, each line kept with its time stamp."""

    def __init__(self, argv, env):
        self.process = subprocess.Popen(argv, env=env, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                        text=True, errors="replace")
        self._lines = []
        self._changed = threading.Condition()
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()

    def _read(self):
        for line in self.process.stderr:
            match = _stamped.match(line.rstrip("\n"))
            stamp, text = (float(match.group(1)), match.group(2)) if match else (time.monotonic(), line)
            with self._changed:
                self._lines.append((stamp, text))
                self._changed.notify_all()
        with self._changed:
            self._changed.notify_all()

    def lines(self):
        with self._changed:
            return list(self._lines)

    def wait_for(self, needle, after=0, timeout=10.0):
        """The time stamp of the first line at index >= after that holds needle, and its index."""
        deadline = time.monotonic() + timeout
        with self._changed:
            while True:
                for index in range(after, len(self._lines)):
                    if needle in self._lines[index][1]:
                        return self._lines[index][0], index
                left = deadline - time.monotonic()
                if left <= 0 or (self.process.poll() is not None and not self._reader.is_alive()):
                    tail = "\n".join(text for _, text in self._lines[-20:])
                    raise TimeoutError(f"no line with {needle!r} within {timeout} s; last lines:\n{tail}")
                self._changed.wait(min(left, 0.05))

    def count(self):
        with self._changed:
            return len(self._lines)

    def stop(self, timeout=5.0):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self._reader.join(timeout)

    def rss_kib(self):
        with open(f"/proc/{self.process.pid}/status") as status:
            for line in status:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
        return 0


class Session:
    def __init__(self, accessibility=False, scale=None):
        self.accessibility = accessibility
        self.scale = scale
        self.programs = []
        self._daemons = []

    def __enter__(self):
        self.root = tempfile.mkdtemp(prefix="pealix-session-")
        self.home = os.path.join(self.root, "home")
        runtime = os.path.join(self.root, "runtime")
        for path in (self.home, runtime):
            os.makedirs(path, mode=0o700)
        env = {k: v for k, v in os.environ.items()
               if not k.startswith(("XDG_", "DBUS_", "QT_", "DISPLAY", "WAYLAND_", "AT_SPI"))}
        env.update(HOME=self.home, XDG_RUNTIME_DIR=runtime,
                   XDG_CONFIG_HOME=os.path.join(self.home, ".config"),
                   XDG_DATA_HOME=os.path.join(self.home, ".local/share"),
                   XDG_CACHE_HOME=os.path.join(self.home, ".cache"),
                   XDG_STATE_HOME=os.path.join(self.home, ".local/state"),
                   QT_QPA_PLATFORM="xcb", QT_MESSAGE_PATTERN=MESSAGE_PATTERN,
                   PEALIX_AUDIO_SINK=os.environ.get("PEALIX_AUDIO_SINK", "fakesink sync=true"),
                   # The login-item service that the pane starts ends soon after the session.
                   PEALIX_LOGINITEMS_IDLE_MS="3000")
        if self.scale:
            env["QT_SCALE_FACTOR"] = str(self.scale)
        self.env = env
        try:
            self._start_bus()
            self._start_display()
            if self.accessibility:
                self._start_accessibility()
        except BaseException:
            self.__exit__(None, None, None)
            raise
        return self

    def __exit__(self, *exc):
        for program in reversed(self.programs):
            program.stop()
        # What the programs started on their own (the agent, the login-item service) ends with the session.
        for pid in self.processes():
            try:
                os.kill(pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
        for daemon in reversed(self._daemons):
            if daemon.poll() is None:
                daemon.send_signal(signal.SIGTERM)
                try:
                    daemon.wait(5)
                except subprocess.TimeoutExpired:
                    daemon.kill()
        shutil.rmtree(self.root, ignore_errors=True)
        return False

    def _read_fd_line(self, argv, what):
        read, write = os.pipe()
        daemon = subprocess.Popen([a.replace("{fd}", str(write)) for a in argv], env=self.env,
                                  pass_fds=(write,), stdin=subprocess.DEVNULL,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        self._daemons.append(daemon)
        with os.fdopen(read) as stream:
            line = stream.readline().strip()
        if not line:
            raise RuntimeError(f"{what} did not start")
        return line

    def _start_bus(self):
        address = self._read_fd_line(["dbus-daemon", "--session", "--nofork", "--nopidfile",
                                      "--print-address={fd}"], "the session bus")
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address

    def _start_display(self):
        display = self._read_fd_line(["Xvfb", "-displayfd", "{fd}", "-screen", "0", "1280x1024x24",
                                      "-nolisten", "tcp", "-noreset"], "Xvfb")
        self.env["DISPLAY"] = ":" + display

    def _start_accessibility(self):
        launcher = "/usr/libexec/at-spi-bus-launcher"
        daemon = subprocess.Popen([launcher, "--launch-immediately"], env=self.env,
                                  stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL)
        self._daemons.append(daemon)
        self.env.update(QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1",
                        NO_AT_BRIDGE="0", GTK_MODULES="gail:atk-bridge")
        # pyatspi finds the accessibility bus through the session bus of this process.
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = self.env["DBUS_SESSION_BUS_ADDRESS"]
        os.environ["DISPLAY"] = self.env["DISPLAY"]
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            probe = subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus",
                                    "/org/a11y/bus", "org.a11y.Bus.GetAddress"], env=self.env,
                                   capture_output=True, text=True)
            if probe.returncode == 0:
                return
            time.sleep(0.05)
        raise RuntimeError("the accessibility bus did not start")

    def start(self, argv, logging_rules="", extra_env=None):
        env = dict(self.env)
        env["QT_LOGGING_RULES"] = logging_rules
        env.update(extra_env or {})
        program = Program(argv, env)
        self.programs.append(program)
        return program

    def processes(self, command=None):
        """Pids of this session's processes (those with its runtime directory), optionally by command name."""
        runtime = ("XDG_RUNTIME_DIR=" + self.env["XDG_RUNTIME_DIR"]).encode()
        found = []
        for entry in sorted((e for e in os.listdir("/proc") if e.isdigit()), key=int):
            try:
                with open(f"/proc/{entry}/environ", "rb") as environ:
                    if runtime not in environ.read().split(b"\0"):
                        continue
                with open(f"/proc/{entry}/stat") as stat:
                    status = stat.read()
                name, state = status[status.index("(") + 1:status.rindex(")")], status[status.rindex(")") + 2]
                if state != "Z" and (command is None or name == command[:15]):
                    found.append(int(entry))
            except OSError:
                continue
        return found

    def wait_until(self, predicate, timeout=10.0, what="the condition"):
        deadline = time.monotonic() + timeout
        while not predicate():
            if time.monotonic() > deadline:
                raise TimeoutError(f"{what} did not come within {timeout} s")
            time.sleep(0.005)

    def autostart_entries(self):
        folder = os.path.join(self.home, ".config/autostart")
        return sorted(os.path.join(folder, name) for name in os.listdir(folder)) if os.path.isdir(folder) else []

    def settings_path(self):
        return os.path.join(self.home, SETTINGS)

    def quit_host(self, timeout=5.0):
        subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=com.quorlenvik.PaneHost",
                        "/PaneHost", "com.quorlenvik.PaneHost.Quit"], env=self.env,
                       capture_output=True, timeout=timeout)


@contextlib.contextmanager
def installed(build):
    """The build installed by cmake into a temporary prefix, removed afterwards."""
    prefix = tempfile.mkdtemp(prefix="pealix-prefix-")
    try:
        subprocess.run(["cmake", "--install", build, "--prefix", prefix], check=True, stdout=subprocess.DEVNULL)
        yield prefix
    finally:
        shutil.rmtree(prefix, ignore_errors=True)


def median(values):
    ordered = sorted(values)
    middle = len(ordered) // 2
    return ordered[middle] if len(ordered) % 2 else (ordered[middle - 1] + ordered[middle]) / 2


# Driving controls through the accessibility bus; import pyatspi only after the session exists.

def find_application(name, timeout=10.0, pid=None):
    """The application of that name; every Pealix program is named "Pealix", so pid tells them apart."""
    import pyatspi
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for index in range(desktop.childCount):
            app = desktop.getChildAtIndex(index)
            if app is not None and app.name == name and (pid is None or app.get_process_id() == pid):
                return app
        time.sleep(0.1)
    raise TimeoutError(f"no application {name!r} on the accessibility bus")


def _descendants(node):
    """Every node below, depth first; a window still being built loses and gains children while it is
    read, so a child that is gone by the time it is asked for is passed over."""
    try:
        children = [node.getChildAtIndex(index) for index in range(node.childCount)]
    except Exception:
        return
    for child in children:
        if child is not None:
            yield child
            yield from _descendants(child)


def find_all(root, predicate):
    """The nodes below root that satisfy predicate, as the tree is now."""
    found = []
    for node in _descendants(root):
        try:
            if predicate(node):
                found.append(node)
        except Exception:
            continue
    return found


def find_control(root, name, timeout=10.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        for node in _descendants(root):
            try:
                if node.name == name:
                    return node
            except Exception:
                continue
        time.sleep(0.1)
    raise TimeoutError(f"no control named {name!r}")


def press(control):
    action = control.queryAction()
    action.doAction(0)


def is_checked(control):
    import pyatspi
    return control.getState().contains(pyatspi.STATE_CHECKED)
