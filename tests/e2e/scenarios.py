# -*- coding: utf-8 -*-
"""The end-to-end scenarios, as data.

Each scenario is a dict:
  name       the CTest name is e2e.<arch>.<name>
  args       the text after the quoted program path; None: no argument at all
  install    changes to harness.DEFAULT_INSTALLATION (the installer's leftovers)
  holds      files another process holds open (without FILE_SHARE_DELETE) during the run
  cwd        the working directory the program starts in (default: the system folder)
  boxes      the message boxes in order, each with the answer the person gives; None: not
             checked, every box gets the cautious answer (No, OK)
  windows    the program's top-level windows of its class; None: not checked
  processes  roles of the processes: "started" (the installed program), "child" (its copy)
  exit_codes exit code per role (default 0 for every process)
  changes    the facts of harness.state() that differ afterwards; None: state not checked
  pending    why the scenario cannot pass yet; it is then not registered with CTest (remove
             the entry once the program does what the scenario expects)
  arches     the prefixes it runs in (default both)

Texts are compared byte for byte in Windows-1252. {system}, {syswow64}, {product}, {temp},
{desktop} and {key} stand for the paths of the prefix and the run's key; {error:N} stands for
the platform's error text of code N, of which only the code line ("Fehlercode N") is compared,
since Wine's wording differs from Windows'.
"""
from harness import DIAGRAM, LAYOUT_NAME, PROGRAM_FILE, PROGRAM_NAME

FILE_WARNING_CAPTION = "Tastaturtreiber-Deinstallation"
STATUS_WINDOW = {"class": PROGRAM_NAME,
                 "title": PROGRAM_NAME + " V1.06 - Tastaturtreiber-Deinstallation",
                 # A quarter of 1920 wide, a sixth of 1080 high, centred.
                 "rect": [720, 450, 1200, 630], "role": "child"}
RELOCATED = ["started", "child"]


def box(caption, text, icon, answer, owner, role):
    return {"caption": caption, "text": text, "icon": icon, "answer": answer, "owner": owner,
            "role": role}


def refusal(reason):
    """A refused argument: the installed program's only box, before any window exists."""
    return box(PROGRAM_NAME, "Deinstallationsprogramm nicht mit gültigem Registry-Key die "
               "Tastatur aufgerufen " + reason, "exclamation", "ok", "none", "started")


def warning(text, answer="ok"):
    return box(PROGRAM_NAME, text, "exclamation", answer, PROGRAM_NAME, "child")


def file_warning(text):
    return box(FILE_WARNING_CAPTION, text, "exclamation", "ok", PROGRAM_NAME, "child")


def info(text):
    return box(PROGRAM_NAME, text, "information", "ok", PROGRAM_NAME, "child")


def question(text, answer):
    return box(PROGRAM_NAME, text, "question", answer, PROGRAM_NAME, "child")


CONFIRM = "Soll folgender Tastatur-Treiber deinstalliert werden?\n\n" + LAYOUT_NAME
DONE = "Folgender Tastatur-Treiber wurde deinstalliert:\n" + LAYOUT_NAME
DRIVER_PATH = "{system}\\Quillmap.DLL"

# The copy in TEMP ran, and changed nothing else.
UNCHANGED_BUT_COPIED = {"copy in TEMP": True}
# Everything the installation left is gone; the copy in TEMP waits for the next restart.
REMOVED = {
    "driver in system32": False,
    "driver in syswow64": False,
    "shortcut on the desktop": False,
    "product folder": False,
    "files in the product folder": [],
    "HKCU Preload": {"1": "00000407"},
    "HKCU Substitutes": {},
    "HKLM layout {key}": None,
    "Uninstall entry": None,
    "copy in TEMP": True,
    "deleted at restart": ["{temp}\\" + PROGRAM_FILE],
}


def refused_argument(name, args, reason):
    return {"name": name, "args": args, "boxes": [refusal(reason)], "windows": [],
            "processes": ["started"], "changes": {}}


SCENARIOS = [
    # ---- Refused arguments: one box without owner, nothing changed, no copy in TEMP ----
    refused_argument("refuse_no_argument", None, "(Angabe fehlt)"),
    refused_argument("refuse_two_arguments", "a0010407 b0010407", "(Angabe fehlt)"),
    refused_argument("refuse_short_key", "0407", "(Länge nicht 8 Zeichen):\n0407"),
    refused_argument("refuse_nine_characters", "a00010407", "(Länge nicht 8 Zeichen):\na00010407"),
    refused_argument("refuse_not_german", "00000409",
                     '(endet nicht in "0407", also kein deutsches Layout):\n00000409'),
    refused_argument("refuse_standard_layout", "00000407",
                     "(Schlüssel für Standardtastatur: nicht deinstallierbar):\n00000407"),

    # ---- The whole uninstallation ----
    {"name": "complete", "args": "a0010407",
     "boxes": [question(CONFIRM, "yes"), info(DONE)],
     "windows": [STATUS_WINDOW], "processes": RELOCATED, "changes": REMOVED},

    # Started from Explorer in the product folder: that folder is the working directory the
    # copy in TEMP inherits, and must still be removable.
    {"name": "started_in_product_folder", "args": "a0010407", "cwd": "{product}",
     "boxes": [question(CONFIRM, "yes"), info(DONE)],
     "windows": [STATUS_WINDOW], "processes": RELOCATED, "changes": REMOVED},

    # ---- Stops before anything is changed ----
    {"name": "no_at_confirmation", "args": "a0010407",
     "boxes": [question(CONFIRM, "no"), info("Deinstallation abgebrochen.")],
     "windows": [STATUS_WINDOW], "processes": RELOCATED, "changes": UNCHANGED_BUT_COPIED},
    {"name": "key_not_installed", "args": "b0010407",
     "boxes": [warning("Der Registry-Key des zu deinstallierenden Tastaturtreibers wurde nicht "
                       "gefunden.\nTreiber: " + LAYOUT_NAME + "Key: b0010407\nDLL: Quillmap.DLL")],
     "windows": [STATUS_WINDOW], "processes": RELOCATED, "changes": UNCHANGED_BUT_COPIED},
    {"name": "layout_file_missing", "args": "a0010407", "install": {"layout_file": None},
     "boxes": [warning("Der Registry-Key des zu deinstallierenden Tastaturtreibers enthält keine "
                       "Treiberdatei-Angabe.\nTreiber: " + LAYOUT_NAME +
                       "Key: a0010407\nDLL: Quillmap.DLL")],
     "windows": [STATUS_WINDOW], "processes": RELOCATED, "changes": UNCHANGED_BUT_COPIED},
    {"name": "other_driver", "args": "a0010407", "install": {"layout_file": "KBDFREMD.DLL"},
     "boxes": [warning("Der Registry-Key des zu deinstallierenden Tastaturtreibers enthält eine "
                       "andere Treiberdatei-Angabe als zum Zeitpunkt der Installation.\nAus "
                       "Sicherheitsgründen wird daher die Deinstallation jetzt nicht "
                       "durchgeführt.\nTreiber: " + LAYOUT_NAME + "Key: a0010407\nDLL bei "
                       "Installation: Quillmap.DLL\nDLL jetzt: KBDFREMD.DLL")],
     "windows": [STATUS_WINDOW], "processes": RELOCATED, "changes": UNCHANGED_BUT_COPIED},
    # Wine writes Preload value 1 at every start, so the only entry is the standard layout: the
    # check looks only at the number of entries.
    {"name": "only_layout", "args": "a0010407", "install": {"preload": {"1": "00000407"}},
     "boxes": [warning("In den Windows-Spracheinstellungen ist die zu deinstallierende "
                       "Tastaturbelegung derzeit als einzig auswählbare Belegung hinterlegt.\n"
                       "Bitte Wählen Sie dort erst eine andere Tastaturbelegung, bevor Sie die "
                       "hier gewählte deinstallieren.")],
     "windows": [STATUS_WINDOW], "processes": RELOCATED, "changes": UNCHANGED_BUT_COPIED},

    # ---- The driver file ----
    {"name": "driver_missing_no", "args": "a0010407", "install": {"driver_in_system": False},
     "boxes": [question(CONFIRM, "yes"),
               question("Problem bei Deinstallation von " + LAYOUT_NAME + ":\nTreiberdatei nicht "
                        "(mehr) vorhanden:\n  " + DRIVER_PATH + "\n\nTrotzdem fortfahren?", "no")],
     "windows": [STATUS_WINDOW], "processes": RELOCATED, "changes": UNCHANGED_BUT_COPIED},
    {"name": "driver_missing_yes", "args": "a0010407", "install": {"driver_in_system": False},
     "boxes": [question(CONFIRM, "yes"),
               question("Problem bei Deinstallation von " + LAYOUT_NAME + ":\nTreiberdatei nicht "
                        "(mehr) vorhanden:\n  " + DRIVER_PATH + "\n\nTrotzdem fortfahren?", "yes"),
               info(DONE)],
     "windows": [STATUS_WINDOW], "processes": RELOCATED, "changes": REMOVED},
    {"name": "driver_in_use", "args": "a0010407", "holds": [DRIVER_PATH],
     "boxes": [question(CONFIRM, "yes"),
               file_warning("Folgende Datei kann nicht gelöscht werden:\n" + DRIVER_PATH +
                            "\n\n{error:32}"),
               info("Fehler bei Deinstallation von " + LAYOUT_NAME + ":\nFolgende Treiberdatei "
                    "konnte nicht gelöscht werden:\n  " + DRIVER_PATH)],
     "windows": [STATUS_WINDOW], "processes": RELOCATED, "changes": UNCHANGED_BUT_COPIED},

    # ---- Later failures are reported and the removal goes on ----
    {"name": "user_file_in_product_folder", "args": "a0010407",
     "install": {"user_files": ["Notizen.txt"]},
     "boxes": [question(CONFIRM, "yes"),
               file_warning("Folgendes Verzeichnis kann nicht gelöscht werden:\n{product}\n\n"
                            "{error:145}"),
               info("Warnung bei Deinstallation von " + LAYOUT_NAME + ":\nFolgendes "
                    "Hilfsverzeichnis konnte nicht entfernt werden (möglicherweise ist es nicht "
                    "leer):\n  {product}"),
               info(DONE)],
     "windows": [STATUS_WINDOW], "processes": RELOCATED,
     "changes": dict(REMOVED, **{"product folder": True,
                                 "files in the product folder": ["Notizen.txt"]})},
]

# The box driver itself, on a stand-in program with known boxes (tests/e2e/sampleboxes.cpp).
SAMPLE_TEXT = 'Länge äöüß € – "zitiert"\tTab\nZeile 2'
SAMPLE_WINDOW = {"class": "SampleStatus", "title": "Sample V1 - Titel", "rect": [720, 450, 1200, 630],
                 "role": "child"}
DRIVER_SCENARIOS = [
    {"name": "boxdriver", "program": "sample", "arches": ["win64"],
     "boxes": [box("sampleboxes", SAMPLE_TEXT, "exclamation", "ok", "none", "child"),
               box("sampleboxes", "Weiter?", "question", "yes", "SampleStatus", "child"),
               box("sampleboxes", "Ja", "information", "ok", "SampleStatus", "child")],
     "windows": [SAMPLE_WINDOW], "processes": RELOCATED, "exit_codes": {"child": 6},
     "changes": None},
    # The script runs out after the first box: the question gets the cautious No.
    {"name": "boxdriver_script_ends", "program": "sample", "arches": ["win64"],
     "answers": ["ok"],
     "boxes": [box("sampleboxes", SAMPLE_TEXT, "exclamation", "ok", "none", "child"),
               box("sampleboxes", "Weiter?", "question", "no", "SampleStatus", "child"),
               box("sampleboxes", "Nein", "information", "ok", "SampleStatus", "child")],
     "windows": [SAMPLE_WINDOW], "processes": RELOCATED, "exit_codes": {"child": 7},
     "changes": None},
]

ALL = SCENARIOS + DRIVER_SCENARIOS
