"""A private desktop for driving Talvane as a user does.

Starts a virtual X server, a session bus and the accessibility bus, and on request a window
manager (openbox) or a Wayland compositor (weston's desktop, nested in the X server), runs the program
on them, and gives the test a user's hands (xdotool: pointer and keyboard) and eyes (AT-SPI
for what the windows say, a screen grab for what they show). Nothing here reaches the
user's own session: every server is private and is stopped at the end.
"""

import os
import re
import shutil
import signal
import subprocess
import time

SKIP = 77  # CTest's SKIP_RETURN_CODE for this test

LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
TOOLS = ("Xvfb", "xdotool", "dbus-daemon", "dbus-send", "import")
# What each kind of session needs beyond TOOLS.
SESSION_TOOLS = {"x11": (), "openbox": ("openbox", "xprop", "xwininfo"),
                 "wayland": ("weston", "xwininfo")}
WAYLAND_SOCKET = "talvane-wayland"


class Failure(AssertionError):
    pass


def missing_tools(session="x11"):
    missing = [t for t in TOOLS + SESSION_TOOLS[session] if shutil.which(t) is None]
    if not os.access(LAUNCHER, os.X_OK):
        missing.append(LAUNCHER)
    try:
        import gi

        gi.require_version("Atspi", "2.0")
        from gi.repository import Atspi  # noqa: F401
    except (ImportError, ValueError):
        missing.append("the Atspi typelib (gir1.2-atspi-2.0, python3-gi)")
    return missing


def wait_for(what, probe, timeout=10.0, interval=0.03):
    """Polls `probe` until it returns something true and returns that."""
    deadline = time.monotonic() + timeout
    last_error = None
    while True:
        try:
            value = probe()
            if value:
                return value
        except Exception as error:  # the tree changes under us while windows come and go
            last_error = error
        if time.monotonic() > deadline:
            detail = f" (last error: {last_error!r})" if last_error else ""
            raise Failure(f"timed out after {timeout:.0f} s waiting for {what}{detail}")
        pump(interval)


_atspi = None


def atspi():
    global _atspi
    if _atspi is None:
        import gi

        gi.require_version("Atspi", "2.0")
        from gi.repository import Atspi

        Atspi.init()
        _atspi = Atspi
    return _atspi


def pump(seconds):
    """Sleeps, delivering the accessibility events that arrive meanwhile."""
    from gi.repository import GLib

    context = GLib.MainContext.default()
    end = time.monotonic() + seconds
    while True:
        while context.pending():
            context.iteration(False)
        left = end - time.monotonic()
        if left <= 0:
            return
        time.sleep(min(left, 0.01))


def _read_line(fd):
    data = b""
    while not data.endswith(b"\n"):
        chunk = os.read(fd, 256)
        if not chunk:
            raise Failure("a session server ended before saying where it listens")
        data += chunk
    os.close(fd)
    return data.decode().strip()


# The strip of the X screen right of and below weston's window, narrower than anything the
# tests look for on the screen.
WESTON_MARGIN = 16


class Desktop:
    """The servers of one session, with the program under test on them.

    `session` is "x11" (a bare X server), "openbox" (the X server with a window manager) or
    "wayland" (weston nested in the X server, the program a native Wayland client)."""

    def __init__(self, home, session="x11", screen="1280x1024"):
        self.home = home
        self.session = session
        self.screen_size = screen
        self.servers = []
        self.program = None
        self.focus_log = []
        runtime = os.path.join(home, "runtime")
        os.makedirs(runtime, mode=0o700, exist_ok=True)
        # Nothing of the caller's own desktop session comes along; the sanitizers' settings do.
        self.env = {name: value for name, value in os.environ.items()
                    if name in ("PATH", "TMPDIR") or name.endswith("SAN_OPTIONS")}
        self.env.setdefault("PATH", "/usr/bin:/bin")
        self.env.update({
            "HOME": home,
            "XDG_RUNTIME_DIR": runtime,
            "XDG_CONFIG_HOME": os.path.join(home, "config"),
            "XDG_CACHE_HOME": os.path.join(home, "cache"),
            "XDG_DATA_HOME": os.path.join(home, "data"),
            "LANG": "C.UTF-8",
        })

    def __enter__(self):
        try:
            self._start_servers()
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, *exc):
        self.close()

    def _spawn(self, argv, **kw):
        with open(os.path.join(self.home, "servers.log"), "ab") as log:
            process = subprocess.Popen(argv, env=self.env, start_new_session=True,
                                       stdin=subprocess.DEVNULL, stdout=log, stderr=log, **kw)
        self.servers.append(process)
        return process

    def _start_servers(self):
        read, write = os.pipe()
        # Under Wayland the X screen has a margin right and below weston's window, where the
        # pointer can go to leave that window (see `move_to`).
        width, height = (int(n) for n in self.screen_size.split("x"))
        if self.session == "wayland":
            width, height = width + WESTON_MARGIN, height + WESTON_MARGIN
        self._spawn(["Xvfb", "-displayfd", str(write), "-screen", "0", f"{width}x{height}x24",
                     "-nolisten", "tcp", "-noreset"], pass_fds=[write])
        os.close(write)
        self.env["DISPLAY"] = ":" + _read_line(read)

        read, write = os.pipe()
        self._spawn(["dbus-daemon", "--session", "--nofork", f"--print-address={write}"],
                    pass_fds=[write])
        os.close(write)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = _read_line(read)

        self._spawn([LAUNCHER, "--launch-immediately", "--a11y=1"])
        wait_for("the accessibility bus launcher", lambda: "true" in self._bus_call(
            "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner",
            "string:org.a11y.Bus"))
        reply = self._bus_call("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus.GetAddress")
        a11y_address = reply.split('"')[1]

        if self.session == "openbox":
            self._spawn(["openbox", "--sm-disable"])
            wait_for("openbox to manage the screen", lambda: "window id" in self._run(
                "xprop", "-root", "_NET_SUPPORTING_WM_CHECK"))
        elif self.session == "wayland":
            # The pixman renderer needs no OpenGL driver; weston's own idle lock stays off.
            self._spawn(["weston", "--backend=x11-backend.so", "--shell=desktop-shell.so",
                         f"--socket={WAYLAND_SOCKET}", "--use-pixman", "--idle-time=0",
                         "--width=" + self.screen_size.split("x")[0],
                         "--height=" + self.screen_size.split("x")[1]])
            socket = os.path.join(self.env["XDG_RUNTIME_DIR"], WAYLAND_SOCKET)
            wait_for("weston's socket", lambda: os.path.exists(socket))

        # This process reads the program's windows on that bus; the program itself finds the
        # bus through the session bus (given the address directly, Qt 6.4 never registers).
        for name in ("DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "XDG_RUNTIME_DIR"):
            os.environ[name] = self.env[name]
        os.environ["AT_SPI_BUS_ADDRESS"] = a11y_address
        Atspi = atspi()
        # Focus changes tell where the keyboard is, and they are the only way to the in-place
        # editor, which is no child of the list in the accessibility tree.
        self._focus_listener = Atspi.EventListener.new(self._on_focus)
        self._focus_listener.register("object:state-changed:focused")

    def _run(self, *argv):
        return subprocess.run(argv, env=self.env, capture_output=True, text=True, timeout=20).stdout

    def _bus_call(self, dest, path, method, *args):
        result = subprocess.run(["dbus-send", "--session", "--print-reply", f"--dest={dest}",
                                 path, method, *args], env=self.env, capture_output=True,
                                text=True, timeout=10)
        return result.stdout

    def _on_focus(self, event):
        if event.detail1:
            self.focus_log.append(event.source)

    def start(self, argv, cwd, extra_env):
        env = dict(self.env, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                   QT_QPA_PLATFORMTHEME="", XDG_CURRENT_DESKTOP="")
        if self.session == "wayland":
            env.update(QT_QPA_PLATFORM="wayland", WAYLAND_DISPLAY=WAYLAND_SOCKET)
        env.update(extra_env)
        self.log = os.path.join(self.home, "program.log")
        with open(self.log, "wb") as log:
            self.program = subprocess.Popen(argv, cwd=cwd, env=env, stdin=subprocess.DEVNULL,
                                            stdout=log, stderr=subprocess.STDOUT)
        self.application = wait_for("the program on the accessibility bus", self._find_app)
        return self.program

    def _find_app(self):
        if self.program.poll() is not None:
            raise Failure(f"the program ended at start-up with code {self.program.returncode}")
        desktop = atspi().get_desktop(0)
        for i in range(desktop.get_child_count()):
            app = desktop.get_child_at_index(i)
            if app is not None and app.get_process_id() == self.program.pid:
                return app
        return None

    def program_output(self):
        if self.program is None:
            return ""
        with open(self.log, "rb") as log:
            return log.read().decode(errors="replace")

    def close(self):
        if self.program is not None and self.program.poll() is None:
            self.program.kill()
            self.program.wait()
        for process in reversed(self.servers):
            try:
                os.killpg(process.pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
            try:
                process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                os.killpg(process.pid, signal.SIGKILL)
                process.wait()
        self.servers = []

    # ---- eyes ---------------------------------------------------------------------------

    def window(self, title):
        """The program's top-level window with this title, if it is shown."""
        Atspi = atspi()
        app = self.application
        for i in range(app.get_child_count()):
            child = app.get_child_at_index(i)
            if child is not None and child.get_name() == title and \
                    child.get_state_set().contains(Atspi.StateType.SHOWING):
                return child
        return None

    def wait_window(self, title, timeout=10.0):
        return wait_for(f'the window "{title}"', lambda: self.window(title), timeout)

    def wait_window_gone(self, title, timeout=10.0):
        wait_for(f'the window "{title}" to close', lambda: self.window(title) is None, timeout)

    def is_active(self, title):
        window = self.window(title)
        return window is not None and window.get_state_set().contains(atspi().StateType.ACTIVE)

    def screen(self):
        """The whole screen as (width, height, rgb bytes)."""
        data = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"],
                              env=self.env, capture_output=True, check=True, timeout=20).stdout
        fields = []
        at = 0
        while len(fields) < 4:  # magic, width, height, maximum value
            while data[at:at + 1].isspace():
                at += 1
            end = at
            while not data[end:end + 1].isspace():
                end += 1
            fields.append(data[at:end])
            at = end
        at += 1
        return int(fields[1]), int(fields[2]), data[at:]

    def x_window(self, title):
        """Where the X window titled `title` is: (x, y, width, height) of its client area
        and the frame around it as (left, right, top, bottom), or None if not mapped."""
        for wid in self._run("xdotool", "search", "--onlyvisible", "--name", f"^{title}$").split():
            info = self._run("xwininfo", "-id", wid)
            fields = dict(line.strip().split(": ", 1) for line in info.splitlines()
                          if ": " in line and line.strip()[:1].isupper())
            if fields.get("Map State") != "IsViewable":
                continue
            extents = self._run("xprop", "-id", wid, "_NET_FRAME_EXTENTS")
            frame = tuple(int(n) for n in extents.split("=")[1].split(",")) if "=" in extents \
                else (0, 0, 0, 0)
            return (int(fields["Absolute upper-left X"]), int(fields["Absolute upper-left Y"]),
                    int(fields["Width"]), int(fields["Height"])), frame
        return None

    def allowed_actions(self, title):
        """What the window manager lets the user do with the X window titled `title`
        (_NET_WM_ALLOWED_ACTIONS without its prefix), or None before it says."""
        for wid in self._run("xdotool", "search", "--onlyvisible", "--name", f"^{title}$").split():
            line = self._run("xprop", "-id", wid, "_NET_WM_ALLOWED_ACTIONS")
            if "=" in line:
                return {action.strip().replace("_NET_WM_ACTION_", "")
                        for action in line.split("=", 1)[1].split(",")}
        return None

    def compositor_origin(self):
        """Where weston's output lies on the X screen."""
        # A line of the tree: 0x200005 "Weston Compositor - screen0": (...)  WxH+x+y  +X+Y
        for line in self._run("xwininfo", "-root", "-tree").splitlines():
            found = re.search(r"([+-]\d+)([+-]\d+)$", line.strip())
            if '"Weston Compositor' in line and found:
                return int(found.group(1)), int(found.group(2))
        raise Failure("weston's window is not on the X screen")

    def save_screenshot(self, path):
        subprocess.run(["import", "-window", "root", path], env=self.env, timeout=20)

    # ---- hands --------------------------------------------------------------------------

    def xdotool(self, *args):
        subprocess.run(["xdotool", *args], env=self.env, check=True, timeout=20)

    def move_to(self, x, y):
        """Puts the pointer at (x, y) on the screen, where the compositor sees it too."""
        if self.session == "wayland":
            # A screen capture grabs the X server, and weston's pointer then stays where it
            # was, whatever motion follows, until the pointer leaves its window and enters
            # it again: it goes out to the margin first.
            width, height = (int(n) for n in self.screen_size.split("x"))
            self.xdotool("mousemove", str(width + WESTON_MARGIN // 2),
                         str(height + WESTON_MARGIN // 2))
            pump(0.1)
            self.xdotool("mousemove", str(x + 5), str(y + 5))
            pump(0.2)
        self.xdotool("mousemove", str(x), str(y))

    def click(self, x, y, count=1):
        self.move_to(x, y)
        self.xdotool("click", "--repeat", str(count), "--delay", "80", "1")

    def key(self, *keys):
        self.xdotool("key", "--delay", "30", *keys)

    def type(self, text):
        self.xdotool("type", "--delay", "20", text)


def find(root, predicate, depth=12):
    """The first accessible object under `root` (itself included) that satisfies `predicate`."""
    if root is None:
        return None
    if predicate(root):
        return root
    if depth == 0:
        return None
    for i in range(root.get_child_count()):
        found = find(root.get_child_at_index(i), predicate, depth - 1)
        if found is not None:
            return found
    return None


def find_all(root, predicate, depth=12):
    found = []

    def walk(node, level):
        if node is None:
            return
        if predicate(node):
            found.append(node)
        if level > 0:
            for i in range(node.get_child_count()):
                walk(node.get_child_at_index(i), level - 1)

    walk(root, depth)
    return found


def role(node):
    return node.get_role_name()


def centre(node):
    box = node.get_extents(atspi().CoordType.SCREEN)
    if box.width <= 0 or box.height <= 0:
        raise Failure(f'"{node.get_name()}" has no area on screen')
    return box.x + box.width // 2, box.y + box.height // 2


def text_of(node):
    text = node.get_text_iface()
    if text is None:
        return node.get_name()
    return text.get_text(0, text.get_character_count())
