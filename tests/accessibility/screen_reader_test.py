#!/usr/bin/python3
"""Korvo as a screen reader finds it, over the real accessibility bus.

Run inside a private session bus (see tests/CMakeLists.txt):
    screen_reader_test.py KORVO KORVOCTL PLAYER

Starts an X server of its own (Xvfb picks a free display itself, so tests running side by side
never share one), the accessibility bus, a media player on the session bus and Korvo, then reads the
island through AT-SPI: the track's title and artist, the pause button (whose press must reach the
player), a toast, and every page of the settings window, where no control may be nameless.
"""

import os
import subprocess
import sys
import tempfile
import threading
import time
import warnings

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, Gio, GLib  # noqa: E402

# This typelib marks the action calls deprecated in favour of names it does not have.
warnings.filterwarnings("ignore", category=DeprecationWarning)

# Every wait polls for its condition up to this long; on a quiet machine each takes well under
# a second.
DEADLINE = 15.0

failures = []


def check(condition, what):
    print(("ok    " if condition else "FAIL  ") + what, flush=True)
    if not condition:
        failures.append(what)
    return condition


def wait_for(what, probe, deadline=DEADLINE):
    """Polls `probe` until it returns something true; returns that, or None at the deadline."""
    end = time.monotonic() + deadline
    context = GLib.MainContext.default()
    while True:
        try:
            value = probe()
        except GLib.Error:
            value = None  # an object went away while it was read: ask again
        if value:
            return value
        while context.iteration(False):  # deliver the events that came in
            pass
        if time.monotonic() > end:
            print("      gave up waiting for " + what, flush=True)
            return None
        time.sleep(0.05)


def session_has(name):
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    reply = bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus",
                          "org.freedesktop.DBus", "NameHasOwner", GLib.Variant("(s)", (name,)),
                          GLib.VariantType("(b)"), Gio.DBusCallFlags.NONE, 2000, None)
    return reply.unpack()[0]


class Lines:
    """The lines a child process prints, collected as they come."""

    def __init__(self, process):
        self.lines = []
        self._lock = threading.Lock()
        threading.Thread(target=self._read, args=(process.stdout,), daemon=True).start()

    def _read(self, stream):
        for line in stream:
            with self._lock:
                self.lines.append(line.strip())

    def count(self, text):
        with self._lock:
            return sum(1 for line in self.lines if line == text)

    def starting(self, prefix):
        with self._lock:
            return sum(1 for line in self.lines if line.startswith(prefix))


def walk(node, depth=0):
    """Every object under `node`, depth first, with its depth."""
    yield node, depth
    for i in range(node.get_child_count()):
        child = node.get_child_at_index(i)
        if child is not None:
            yield from walk(child, depth + 1)


def showing(node):
    return node.get_state_set().contains(Atspi.StateType.SHOWING)


def find(root, name=None, role=None):
    for node, _ in walk(root):
        if (name is None or node.get_name() == name) and (role is None or node.get_role() == role):
            return node
    return None


def application(pid):
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is not None and app.get_process_id() == pid:
            app.set_cache_mask(Atspi.Cache.NONE)  # read what is there now, every time
            return app
    return None


def island_window(app):
    for i in range(app.get_child_count()):
        w = app.get_child_at_index(i)
        if w is not None and w.get_role() in (Atspi.Role.FRAME, Atspi.Role.WINDOW) \
                and find(w, "Island"):
            return w
    return None


def act(node, *names):
    """Runs the first of the named actions the object offers."""
    if "Action" not in node.get_interfaces():
        return False
    offered = [node.get_action_name(i) for i in range(node.get_n_actions())]
    for name in names:
        if name in offered:
            return node.do_action(offered.index(name))
    print("      no action of " + str(names) + " among " + str(offered), flush=True)
    return False


def press(node):
    return act(node, "Press")


def dump(window):
    lines = []
    for node, depth in walk(window):
        text = "  " * depth + node.get_role_name() + ' "' + node.get_name() + '"'
        if node.get_description():
            text += " (" + node.get_description() + ")"
        if "Value" in node.get_interfaces():
            text += " value %g of %g..%g" % (node.get_current_value(),
                                             node.get_minimum_value(),
                                             node.get_maximum_value())
        if "Action" in node.get_interfaces() and node.get_n_actions() > 0:
            text += " [" + ", ".join(node.get_action_name(i)
                                     for i in range(node.get_n_actions())) + "]"
        lines.append(text)
    return "\n".join(lines)


CONTROL_ROLES = {
    Atspi.Role.PUSH_BUTTON, Atspi.Role.TOGGLE_BUTTON, Atspi.Role.CHECK_BOX,
    Atspi.Role.RADIO_BUTTON, Atspi.Role.SLIDER, Atspi.Role.COMBO_BOX, Atspi.Role.SPIN_BUTTON,
    Atspi.Role.ENTRY, Atspi.Role.LIST, Atspi.Role.PAGE_TAB, Atspi.Role.TEXT,
}


def nameless_controls(window):
    """Controls with no name of their own. Qt lends a control without a name the title of the
    group it sits in ("Accent" for every colour of the accent row): that counts as none."""
    out = []
    sections = {}  # depth → title of the group open at that depth
    for node, depth in walk(window):
        for deeper in [d for d in sections if d >= depth]:
            del sections[deeper]
        if node.get_role() == Atspi.Role.PANEL and node.get_name():
            sections[depth] = node.get_name()
        if node.get_role() not in CONTROL_ROLES or not showing(node):
            continue
        name = node.get_name().strip()
        if not name or name in sections.values():
            out.append(node.get_role_name() + ' "' + name + '" ' + node.get_description())
    return out


def start_x_server(children):
    """Starts Xvfb on a display it chooses; returns the display name, or None."""
    read_end, write_end = os.pipe()
    children.append(subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1440x900x24", "-nolisten",
         "tcp"], pass_fds=(write_end,), stderr=subprocess.DEVNULL))
    os.close(write_end)
    with os.fdopen(read_end) as announced:
        number = announced.readline().strip()  # written once the server accepts clients
    return ":" + number if number else None


def main():
    korvo, korvoctl, player_bin = sys.argv[1:4]
    children = []
    config = tempfile.TemporaryDirectory()
    try:
        display = start_x_server(children)
        if not check(display is not None, "an X server of our own"):
            return
        env = dict(os.environ, DISPLAY=display, XDG_CONFIG_HOME=config.name,
                   QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        env.pop("XAUTHORITY", None)
        children.append(subprocess.Popen(["/usr/libexec/at-spi-bus-launcher",
                                          "--launch-immediately"], env=env))
        if not check(wait_for("the accessibility bus", lambda: session_has("org.a11y.Bus")),
                     "the accessibility bus is up"):
            return
        player = subprocess.Popen([player_bin], stdout=subprocess.PIPE, text=True, env=env)
        children.append(player)
        calls = Lines(player)
        if not check(wait_for("the player", lambda: calls.count("ready") == 1),
                     "the fake player is on the session bus"):
            return
        island = subprocess.Popen([korvo], env=env)
        children.append(island)

        def ctl(*args):
            return subprocess.run([korvoctl, *args], env=env, timeout=DEADLINE,
                                  capture_output=True, text=True).returncode == 0

        # Notifications are spoken when they start showing: collect those announcements.
        announced = []

        def on_showing(event):
            if event.detail1 and event.source is not None:
                announced.append(event.source.get_name())

        listener = Atspi.EventListener.new(on_showing)
        listener.register("object:state-changed:showing")

        app = wait_for("Korvo on the accessibility bus", lambda: application(island.pid))
        if not check(app is not None, "Korvo is an application on the accessibility bus"):
            return
        window = wait_for("the island window", lambda: island_window(app))
        if not check(window is not None, "the panel is a window holding the island"):
            return
        check(window.get_name() == "Korvo", "the window is called Korvo")

        # Compact: the cover stands for the track.
        check(wait_for("the compact track", lambda: find(window, "Midnight City — Night Drive",
                                                         Atspi.Role.IMAGE)) is not None,
              "the compact island names the playing track")
        compact = dump(window)

        # A track-change toast opens the summary row, which already shows the track.
        check(ctl("toast", "--icon", "music.note", "--title", "Midnight City", "--duration", "2"),
              "korvoctl toast for a new track")
        check(wait_for("the summary row", lambda: find(window, "Next", Atspi.Role.PUSH_BUTTON))
              is not None, "the summary row reads the track with its buttons")
        medium = dump(window)
        check(wait_for("the island to settle back", lambda: find(
            window, "Midnight City — Night Drive", Atspi.Role.IMAGE)) is not None,
              "the island returns to its compact look")

        check(wait_for("the control interface", lambda: ctl("expand")), "korvoctl expand")
        title = wait_for("the title", lambda: find(window, "Midnight City", Atspi.Role.LABEL))
        check(title is not None, "the expanded card reads the track's title as text")
        check(find(window, "Night Drive", Atspi.Role.LABEL) is not None,
              "and the artist")
        extents = title.get_extents(Atspi.CoordType.SCREEN) if title else None
        check(extents is not None and extents.width > 0 and extents.y < 100,
              "the title has a place on the screen, at its top")
        volume = find(window, "Volume", Atspi.Role.SLIDER)
        if check(volume is not None and volume.get_maximum_value() == 100,
                 "the volume is a slider up to 100"):
            check(act(volume, "Increase"), "turning it up a step through the bus")
            check(wait_for("the new volume", lambda: calls.starting(
                "call Set org.mpris.MediaPlayer2.Player Volume ")) is not None,
                  "the player is asked to set its volume")
        expanded = dump(window)

        pause = find(window, "Pause", Atspi.Role.PUSH_BUTTON)
        if check(pause is not None, "the pause button is found by its name"):
            check(press(pause), "pressing it through the bus")
            check(wait_for("PlayPause", lambda: calls.count("call PlayPause") >= 1) is not None,
                  "the player receives PlayPause")
            check(calls.count("call PlayPause") == 1, "exactly once")

        check(ctl("toast", "--icon", "bolt.fill", "--title", "Charging", "--subtitle", "85%",
                  "--duration", "8"), "korvoctl toast")
        toast = wait_for("the toast", lambda: find(window, "Charging", Atspi.Role.NOTIFICATION))
        check(toast is not None and toast.get_description() == "85%",
              "the toast is a notification with its title and subtitle")
        check(wait_for("the toast to be announced", lambda: announced.count("Charging")),
              "its appearance is announced (showing), as readers speak notifications")

        # The settings window: every page, every control named.
        check(ctl("settings"), "korvoctl settings")

        def settings_window():
            for i in range(app.get_child_count()):
                w = app.get_child_at_index(i)
                if w is not None and w.get_name() == "Korvo Settings":
                    return w
            return None

        settings = wait_for("the settings window", settings_window)
        if check(settings is not None, "the settings window is on the bus"):
            sections = find(settings, "Sections", Atspi.Role.LIST)
            check(sections is not None, "the sections list")
            pages = []
            for i in range(sections.get_child_count() if sections else 0):
                item = sections.get_child_at_index(i)
                if item is not None and item.get_state_set().contains(Atspi.StateType.SELECTABLE):
                    pages.append((item, item.get_name()))
            check(len(pages) == 9, "nine pages to choose from (%d)" % len(pages))
            for item, name in pages:
                if not item.get_state_set().contains(Atspi.StateType.SELECTED):
                    check(act(item, "Toggle", "Press", "Click"), "choosing page " + name)
                heading = wait_for("the page " + name, lambda: any(
                    node.get_name() == name and node.get_role() == Atspi.Role.LABEL
                    and showing(node) for node, _ in walk(settings)))
                check(heading, "page " + name + " is shown")
                missing = nameless_controls(settings)
                check(not missing, "page " + name + ": every control has a name " + str(missing))

        print("\n--- compact island ---\n" + compact, flush=True)
        print("\n--- medium island ---\n" + medium, flush=True)
        print("\n--- expanded island ---\n" + expanded, flush=True)
        check(island.poll() is None, "Korvo is still running")
    finally:
        for child in reversed(children):
            if child.poll() is None:
                child.terminate()
                try:
                    child.wait(timeout=DEADLINE)
                except subprocess.TimeoutExpired:
                    child.kill()
        config.cleanup()


if __name__ == "__main__":
    Atspi.init()
    main()
    print("%d failure(s)" % len(failures), flush=True)
    sys.exit(1 if failures else 0)
