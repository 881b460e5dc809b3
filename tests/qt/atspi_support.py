"""What the AT-SPI walks of the running Quorvin share: finding its windows and controls as a screen reader
does, typing with xdotool, and keeping the checks."""

import subprocess
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

MAIN = "Recherche d'une chaîne de caractères dans un fichier"
failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        failures.append(what)


def finish(name):
    if failures:
        sys.exit("%d check(s) failed" % len(failures))
    print("%s: every check passed" % name)


def wait_for(condition, seconds=10.0):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        value = condition()
        if value:
            return value
        time.sleep(0.1)
    return condition()


def keys(*names):
    subprocess.run(["xdotool", "key", "--delay", "60", *names], check=True)
    time.sleep(0.4)


def type_text(text):
    subprocess.run(["xdotool", "type", "--delay", "40", text], check=True)


def application(pid=None):
    """The running Quorvin; the one of process `pid` when it is given."""
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is not None and app.get_name() == "Quorvin" and pid in (None, app.get_process_id()):
            return app
    return None


def descendants(node):
    for i in range(node.get_child_count()):
        child = node.get_child_at_index(i)
        if child is not None:
            yield child
            yield from descendants(child)


def window(name, pid=None):
    """The program's showing top-level window of that name, read afresh."""
    app = application(pid)
    if app is None:
        return None
    app.clear_cache()
    for i in range(app.get_child_count()):
        top = app.get_child_at_index(i)
        if top is not None and top.get_name() == name and top.get_state_set().contains(Atspi.StateType.SHOWING):
            return top
    return None


def focused(top):
    top.clear_cache()
    for node in descendants(top):
        if node.get_state_set().contains(Atspi.StateType.FOCUSED):
            return node.get_name()
    return None
