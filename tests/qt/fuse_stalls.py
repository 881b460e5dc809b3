"""Quorvin on a mount whose calls never return (stalling_fs.py), read over AT-SPI: the window never waits.

Run by fuse_stalls.sh, which mounts the file system; the arguments are the program, the mount point and
the file system's control folder. Each case starts the program afresh, and ends it with « Quitter le
programme » while a thread of it is still blocked in the kernel: the process must be gone at once all the
same (the kernel interrupts the blocked call once the process ends). Prints the times it measures.
"""

import os
import subprocess
import sys
import tempfile
import time

from gi.repository import GLib
from atspi_support import MAIN, Atspi, check, descendants, finish, focused, keys, type_text, wait_for, window

PROGRAM, MOUNT, CONTROL = sys.argv[1:4]
STALLED = os.path.join(CONTROL, "stalled")
INTERRUPTED = os.path.join(CONTROL, "interrupted")
RELEASE = os.path.join(CONTROL, "release")
ANSWER_WITHIN = 1.0  # seconds an AT-SPI query may take while a call stalls
GONE_WITHIN = 2.0  # seconds from Quit to the end of the process
PROGRESS = "Recherche en cours..."
DIALOG = "Ouvrir un fichier"

# A window that does not answer fails its query after this, rather than after D-Bus's 25 seconds.
Atspi.set_timeout(5000, 20000)


def stalls(log):
    """The calls the file system wrote down in `log` so far, "CALL PATH" each."""
    try:
        with open(log, encoding="utf-8") as file:
            return file.read().splitlines()
    except FileNotFoundError:
        return []


def measured(what, seconds):
    print("time %-58s %.3f s" % (what, seconds), flush=True)
    return seconds


def control(top, role, name):
    for node in descendants(top):
        if node.get_role() == role and node.get_name() == name:
            return node
    return None


def text_of(top, name):
    field = control(top, Atspi.Role.TEXT, name)
    return Atspi.Text.get_text(field, 0, -1) if field else None


def press(top, name):
    """Presses the button as a screen reader does."""
    button = control(top, Atspi.Role.PUSH_BUTTON, name)
    try:
        pressed = button is not None and Atspi.Action.do_action(button, 0)
    except GLib.Error as error:  # a window that does not answer
        print("the press failed: %s" % error.message)
        pressed = False
    check(pressed, "%s is pressed" % name)


def answer_time(query):
    """How long the program takes to answer `query`, in seconds; infinite when it does not answer."""
    start = time.monotonic()
    try:
        query()
    except GLib.Error as error:
        print("the query failed: %s" % error.message)
        return float("inf")
    except AttributeError:  # a window that does not answer tells no child
        print("the query failed: no answer")
        return float("inf")
    return time.monotonic() - start


class Run:
    """One run of the program, started with `arguments` in the folder `folder`; ended when it goes."""

    def __init__(self, folder, *arguments):
        self.errors = tempfile.TemporaryFile()  # shown if the program ends badly: a sanitizer's report
        self.process = subprocess.Popen([PROGRAM, *arguments], cwd=folder, stderr=self.errors)
        self.main = wait_for(lambda: window(MAIN, self.process.pid), 20)
        check(self.main is not None, "the main window shows")

    def __enter__(self):
        return self

    def __exit__(self, *_):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        self.errors.close()

    def window(self, name):
        return window(name, self.process.pid)

    def answers(self, top, while_what):
        """What a screen reader asks of a window it comes to: its name, state and first control, each call
        a round trip to the program; then the whole window, as a walk of every control reads it (some fifty
        round trips), which a program that answered only between pauses of its wait would take seconds to."""

        def query():
            top.clear_cache()
            top.get_name()
            top.get_state_set()
            top.get_child_at_index(0).get_name()

        def walk():
            top.clear_cache()
            for node in descendants(top):
                node.get_name()

        seconds = measured("query answered while " + while_what, answer_time(query))
        whole = measured("  the whole window read while " + while_what, answer_time(walk))
        check(seconds < ANSWER_WITHIN, "the window answers within %.0f s while %s" % (ANSWER_WITHIN, while_what))
        check(whole < ANSWER_WITHIN, "the whole window is read within %.0f s while %s" % (ANSWER_WITHIN, while_what))

    def wait_for_stall(self, call, count):
        check(wait_for(lambda: stalls(STALLED).count(call) >= count, 15), "the file system stalls: %s" % call)

    def quit(self, while_what):
        press(self.main, "Quitter le programme")
        start = time.monotonic()
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            pass
        seconds = measured("Quit to the process gone, " + while_what, time.monotonic() - start)
        check(seconds < GONE_WITHIN, "the process is gone within %.0f s of Quit, %s" % (GONE_WITHIN, while_what))
        if self.process.returncode not in (0, None):
            self.errors.seek(0)
            sys.stdout.write(self.errors.read().decode(errors="replace"))
        check(self.process.returncode == 0, "the program ends with code 0 (%s)" % self.process.returncode)


def choose_in_dialog(run, name):
    """Enter in the search text opens the dialog, where `name` is typed and taken."""
    keys("Return")
    check(wait_for(lambda: run.window(DIALOG)) is not None, "the file dialog opens")
    type_text(name)
    keys("Return")
    check(wait_for(lambda: run.window(DIALOG) is None), "the dialog takes %s" % name)


def search_stalled_file(name, call):
    """Searches `name` twice: the first search ended with « Annuler », the second with Quit."""
    with Run(MOUNT) as run:
        if run.main is None:
            return
        type_text("cherche")
        for attempt in (1, 2):
            choose_in_dialog(run, name)
            before = stalls(STALLED).count(call)
            started = time.monotonic()
            keys("Return")
            progress = wait_for(lambda: run.window(PROGRESS), 5)
            measured("Enter to the progress window shown, " + call, time.monotonic() - started)
            check(progress is not None, "the progress window shows while %s stalls" % call)
            run.wait_for_stall(call, before + 1)
            if progress is None:
                return
            check(control(progress, Atspi.Role.PUSH_BUTTON, "Annuler") is not None, "the progress window has Annuler")
            run.answers(run.main, "%s stalls" % call)
            run.answers(progress, "%s stalls, in the progress window" % call)
            if attempt == 2:
                run.quit("a search stalled in %s, another given up before" % call)
                return
            press(progress, "Annuler")
            started = time.monotonic()
            told = wait_for(lambda: run.window("Recherche annulée"), 5)
            measured("Annuler to the cancelled message, " + call, time.monotonic() - started)
            check(told is not None, "Annuler ends the search stalled in %s" % call)
            run.answers(run.main, "the search given up still stalls in %s" % call)
            keys("Return")
            check(wait_for(lambda: run.window("Recherche annulée") is None), "the message goes")
            check(wait_for(lambda: run.window(PROGRESS) is None, 2), "the progress window goes")
            wait_for(lambda: focused(run.main) == "Chaîne de caractères à rechercher :", 5)


def start_with_stalled_file(path, call, release):
    """The program started with a file whose look or open stalls; Quit while it stalls, or once it is
    released."""
    before = stalls(STALLED).count(call)
    with Run(CONTROL, path) as run:
        if run.main is None:
            return
        run.wait_for_stall(call, before + 1)
        run.answers(run.main, "the start file stalls in %s" % call)
        check(text_of(run.main, "Fichier :") == "", "no file is chosen while %s stalls" % call)
        if not release:
            run.quit("the start file stalled in %s" % call)
            return
        # Once the call returns, the file is chosen as if it had never waited.
        open(RELEASE, "w").close()
        released = time.monotonic()
        check(wait_for(lambda: text_of(run.main, "Fichier :") == path, 5), "once %s returns, the file is chosen" % call)
        measured("%s released to the start file chosen" % call, time.monotonic() - released)
        check(control(run.main, Atspi.Role.PUSH_BUTTON, "Lancer la recherche...") is not None,
              "the button reads « Lancer la recherche... »")
        os.remove(RELEASE)
        run.quit("nothing stalled")


def dialog_on_stalled_files():
    with Run(MOUNT) as run:
        if run.main is None:
            return
        type_text("cherche")
        started = time.monotonic()
        keys("Return")
        dialog = wait_for(lambda: run.window(DIALOG))
        check(dialog is not None, "the file dialog opens")
        if dialog is None:
            return
        names = {"stall-open.txt", "stall-read.txt"}
        listed = wait_for(lambda: names <= {node.get_name() for node in descendants(dialog)}, 10)
        measured("Enter to the stalled files listed in the dialog", time.monotonic() - started)
        check(listed, "the dialog lists the stalled files")
        run.answers(dialog, "the dialog lists the stalled files")
        keys("Escape")
        check(wait_for(lambda: run.window(DIALOG) is None), "Escape closes the dialog")
        run.quit("after the dialog")


def dialog_on_a_folder_whose_look_stalls():
    """The dialog opened where a look at a file never returns: it lists nothing there, but closing it, opening
    it again and Quit never wait for that look."""
    call = "getattr /lent/stall-stat.txt"
    before = stalls(STALLED).count(call)
    with Run(os.path.join(MOUNT, "lent")) as run:
        if run.main is None:
            return
        type_text("cherche")
        for attempt in (1, 2):
            keys("Return")
            dialog = wait_for(lambda: run.window(DIALOG))
            check(dialog is not None, "the file dialog opens on the folder (%d)" % attempt)
            if dialog is None:
                return
            if attempt == 1:
                run.wait_for_stall(call, before + 1)
            run.answers(dialog, "the dialog's look at a file stalls (%d)" % attempt)
            keys("Escape")
            closed = time.monotonic()
            check(wait_for(lambda: run.window(DIALOG) is None, 5), "Escape closes the dialog (%d)" % attempt)
            measured("Escape to the dialog gone, its look stalled (%d)" % attempt, time.monotonic() - closed)
            run.answers(run.main, "the dialog is closed, its look still stalled (%d)" % attempt)
            wait_for(lambda: focused(run.main) == "Chaîne de caractères à rechercher :", 5)
        run.quit("the dialog's look at a file stalled")


print("-- a search whose open stalls")
search_stalled_file("stall-open.txt", "open /stall-open.txt")
print("-- a search whose read stalls")
search_stalled_file("stall-read.txt", "read /stall-read.txt")
print("-- the program started with a file on a stalled mount")
start_with_stalled_file(os.path.join(MOUNT, "lent", "stall-stat.txt"), "getattr /lent/stall-stat.txt", False)
start_with_stalled_file(os.path.join(MOUNT, "stall-open.txt"), "open /stall-open.txt", False)
start_with_stalled_file(os.path.join(MOUNT, "stall-open.txt"), "open /stall-open.txt", True)
# A ".." is taken back as the system takes it, by looking at the name before it: here, one that stalls.
start_with_stalled_file(os.path.join(MOUNT, "lent", "stall-stat.txt", "..", "texte.txt"),
                        "getattr /lent/stall-stat.txt", False)
print("-- the file dialog on a folder of stalled files")
dialog_on_stalled_files()
print("-- the file dialog on a folder whose look at a file stalls")
dialog_on_a_folder_whose_look_stalls()

# Each blocked thread of an ended process was let go by the kernel's interrupt.
print("calls stalled: %d, interrupted: %d" % (len(stalls(STALLED)), len(stalls(INTERRUPTED))))
finish("fuse_stalls")
