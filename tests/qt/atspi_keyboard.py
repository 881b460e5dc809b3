"""What a keyboard and screen-reader user meets in the running Quorvin, read over AT-SPI.

Run by atspi_keyboard.sh, which starts the program; the argument is its working folder, where the
stand-in xdg-open writes the addresses it is asked to open (opened.txt). Keys are typed with xdotool.
"""

import os
import sys

from atspi_support import MAIN, Atspi, check, descendants, finish, focused, keys, type_text, wait_for, window

WORK = sys.argv[1]
OPENED = os.path.join(WORK, "opened.txt")
LINKS = {  # name -> the address a screen reader must be told
    "E-Mail : contact@ravendo.example": "mailto:contact@ravendo.example",
    "URL : https://ravendo.example": "https://ravendo.example",
    "Faire un don": "https://ravendo.example/Don/Don.htm",
}


def opened():
    try:
        with open(OPENED, encoding="utf-8") as file:
            return file.read().split()
    except FileNotFoundError:
        return []


main = wait_for(lambda: window(MAIN), 20)
if main is None:
    sys.exit("the main window does not show")
check(focused(main) == "Chaîne de caractères à rechercher :", "the search text has the focus at start")

# Enter in the search text does what the button does: it chooses the file, then it searches.
type_text("cherche")
keys("Return")
check(wait_for(lambda: window("Ouvrir un fichier")) is not None, "Enter in the search text opens the file dialog")
type_text("exemple.txt")
keys("Return")
check(wait_for(lambda: window("Ouvrir un fichier") is None), "the dialog takes the file")
wait_for(lambda: focused(main) == "Chaîne de caractères à rechercher :", 5)
keys("Return")
check(wait_for(lambda: window("Chaîne de caractère trouvée !")) is not None, "Enter again searches: found")
keys("Return")
check(wait_for(lambda: window("Chaîne de caractère trouvée !") is None), "the message goes")

# The About window, from the keyboard: the search time, the size, Quit, the path, then the About button.
wait_for(lambda: focused(main) == "Chaîne de caractères à rechercher :", 5)
keys("Tab", "Tab", "Tab", "Tab", "Tab")
check(focused(main) == "Information auteur", "Tab reaches the About button (focus on %r)" % focused(main))
keys("Return")
about = wait_for(lambda: window("A propos Quorvin"))
if about is None:
    sys.exit("the About window does not show")
check(about.get_role() == Atspi.Role.DIALOG, "the About window is a dialog")

links = {node.get_name(): node for node in descendants(about) if node.get_role() == Atspi.Role.LINK}
check(sorted(links) == sorted(LINKS), "the links are links: %s" % sorted(links))
for name, address in LINKS.items():
    link = links.get(name)
    if link is None:
        continue
    check(link.get_description() == address, "%s tells its address %s (said: %r)" % (name, address, link.get_description()))
    check(link.get_state_set().contains(Atspi.StateType.FOCUSABLE), "%s can take the focus" % name)
    action = link.get_action_iface()
    names = [action.get_action_name(i) for i in range(action.get_n_actions())] if action else []
    check("Press" in names, "%s can be pressed (%s)" % (name, names))

# Tab goes from OK through the design's order; Enter or Space on a link opens its address, nothing else.
check(focused(about) == "OK", "OK has the focus when the window opens")
order = ["Système Info...", "E-Mail : contact@ravendo.example", "URL : https://ravendo.example", "Faire un don",
         "Détails...", "OK"]
for expected in order:
    keys("Tab")
    check(focused(about) == expected, "Tab reaches %s (focus on %r)" % (expected, focused(about)))
keys("Tab", "Tab")
keys("Return")
keys("Tab")
keys("space")
keys("Tab")
keys("KP_Enter")
wait_for(lambda: len(opened()) >= 3, 5)
check(opened() == list(LINKS.values()), "Enter, Space and Enter open the three addresses: %s" % opened())
check(window("A propos Quorvin") is not None, "pressing a link leaves the About window open")
keys("Escape")
check(wait_for(lambda: window("A propos Quorvin") is None), "Escape closes the About window")

finish("atspi_keyboard")
