"""Runs Uninstall_Quillmap.exe under Wine as Windows runs it, and reads what it leaves behind.

One run:
  1. copy the pristine booted prefix of the architecture (hard links for the large system
     folders, which nobody writes, real copies of everything else);
  2. stage an installation as the product's installer leaves it (files, registry);
  3. note the state, start an X server of a known size, and let the box driver start the
     program from its product folder with the layout key as its only argument; the driver
     answers the message boxes from the run's script and writes a transcript;
  4. wait until every Wine process of the prefix has ended (so that the registry is written
     back to its files), then read the state again.

Used by run_scenarios.py (the CTest scenarios) and by tools/demo.
"""
import json
import os
import re
import shutil
import signal
import subprocess
import time

import wine_registry

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_DIR = os.path.dirname(os.path.dirname(HERE))

# ---- The product, as its installer leaves it ------------------------------------------------

PROGRAM_FILE = "Uninstall_Quillmap.exe"
PROGRAM_NAME = "Uninstall_Quillmap"
DRIVER_FILE = "Quillmap.DLL"
DIAGRAM = "Tastaturbelegung R7 Schaubild"
PRODUCT_FOLDER = "R7-Tastatur"
LAYOUT_NAME = "Deutsch (R7-Belegung V1.06)"
UNINSTALL_ENTRY = "Tastaturbelegung " + LAYOUT_NAME
AUXILIARY_FILES = (PROGRAM_FILE, DIAGRAM + ".pdf", DIAGRAM + ".ico")

LAYOUTS_KEY = r"System\CurrentControlSet\Control\Keyboard Layouts"
SESSION_MANAGER_KEY = r"System\CurrentControlSet\Control\Session Manager"
UNINSTALL_KEY = r"Microsoft\Windows\CurrentVersion\Uninstall"

# What a default run stages; a scenario overrides single items.
DEFAULT_INSTALLATION = {
    "key": "a0010407",
    # The machine's layouts besides the product's: the standard German ones and one other.
    "machine_layouts": {
        "00000407": {"Layout File": "KBDGR.DLL", "Layout Text": "Deutsch"},
        "00010407": {"Layout File": "KBDGR1.DLL", "Layout Text": "Deutsch (IBM)"},
        "00000409": {"Layout File": "KBDUS.DLL", "Layout Text": "US"},
    },
    "layout_file": DRIVER_FILE,  # None: the product's layout key has no "Layout File"
    "layout_text": LAYOUT_NAME,
    "layout_key_present": True,
    "preload": {"1": "00000407", "2": "d0010407"},
    "substitutes": {"d0010407": "{key}"},  # None: no Substitutes key
    "driver_in_system": True,
    "driver_in_wow64": True,  # only on 64-bit Windows
    "shortcut": True,
    "product_files": AUXILIARY_FILES,
    "user_files": (),  # files of the user's own in the product folder
    "uninstall_entry": True,
    # Entries of other programs; one whose name differs only in the version must stay.
    "other_uninstall_entries": ("Tastaturbelegung Deutsch (R7-Belegung V1.05)",),
}

# ---- Architectures ---------------------------------------------------------------------------


class Arch:
    def __init__(self, name):
        self.name = name
        self.wow64 = name == "win64"
        # Windows paths as the 32-bit program sees them.
        self.system = r"C:\windows\system32"
        self.syswow64 = r"C:\windows\syswow64" if self.wow64 else None
        self.program_files = r"C:\Program Files (x86)" if self.wow64 else r"C:\Program Files"
        self.product = self.program_files + "\\" + PRODUCT_FOLDER
        # The registry view of a 32-bit program for HKLM\Software.
        self.software = r"Software\Wow6432Node" if self.wow64 else "Software"
        self.uninstall_key = self.software + "\\" + UNINSTALL_KEY


ARCHES = {name: Arch(name) for name in ("win64", "win32")}

# ---- Prefixes --------------------------------------------------------------------------------

# The large system folders, hard-linked into each copy: Wine never writes into their files.
LINKED_FOLDERS = ("drive_c/windows/system32", "drive_c/windows/syswow64", "drive_c/windows/winsxs")


class Prefix:
    def __init__(self, path, arch):
        self.path = path
        self.arch = arch
        self.drive_c = os.path.join(path, "drive_c")

    def unix(self, windows_path):
        """The Unix path of a C: path, found without regard to case as Wine does; parts that do
        not exist are kept as written."""
        assert windows_path[:3].upper() == "C:\\", windows_path
        path = self.drive_c
        for part in [p for p in windows_path[3:].split("\\") if p]:
            match = part
            if os.path.isdir(path):
                for entry in os.listdir(path):
                    if entry.lower() == part.lower():
                        match = entry
                        break
            path = os.path.join(path, match)
        return path

    def user_name(self):
        users = [u for u in os.listdir(os.path.join(self.drive_c, "users")) if u != "Public"]
        assert len(users) == 1, users
        return users[0]

    def temp(self):
        """The user's TEMP folder as Wine gives it to programs."""
        user = wine_registry.RegistryFile(os.path.join(self.path, "user.reg"))
        return user.strings("Environment")["TEMP"]

    def desktop(self):
        return r"C:\users\%s\Desktop" % self.user_name()


def wine_version():
    return subprocess.run(["wine", "--version"], capture_output=True, text=True).stdout.strip()


def make_pristine(path, arch, locale_dir):
    """Boots the prefix once (tools/wine-prefix) and notes the Wine version it was made with;
    a prefix of another Wine version is made again, since Wine would update it in place, also
    through the hard links of every copy."""
    version_file = os.path.join(path, ".wine-version")
    version = wine_version()
    if os.path.isfile(version_file) and open(version_file).read() != version:
        shutil.rmtree(path)
    subprocess.run([os.path.join(SOURCE_DIR, "tools", "wine-prefix"), path, arch.name, locale_dir],
                   check=True)
    with open(version_file, "w") as f:
        f.write(version)


def copy_prefix(pristine, target):
    if os.path.exists(target):
        shutil.rmtree(target)
    linked = {os.path.normpath(p) for p in LINKED_FOLDERS}

    def ignore(folder, names):
        relative = os.path.relpath(folder, pristine)
        return [n for n in names if os.path.normpath(os.path.join(relative, n)) in linked]

    shutil.copytree(pristine, target, symlinks=True, ignore=ignore)
    for folder in LINKED_FOLDERS:
        if os.path.isdir(os.path.join(pristine, folder)):
            subprocess.run(["cp", "-al", os.path.join(pristine, folder),
                            os.path.join(target, folder)], check=True)


# ---- Staging ---------------------------------------------------------------------------------


def fill(text, values):
    """Replaces the {name} placeholders of a text (or of the items of a list or dict)."""
    if isinstance(text, str):
        for name, value in values.items():
            text = text.replace("{%s}" % name, value)
        return text
    if isinstance(text, (list, tuple)):
        return [fill(t, values) for t in text]
    if isinstance(text, dict):
        return {fill(k, values): fill(v, values) for k, v in text.items()}
    return text


def placeholders(prefix, key):
    arch = prefix.arch
    return {"system": arch.system, "syswow64": arch.syswow64 or "", "product": arch.product,
            "temp": prefix.temp(), "desktop": prefix.desktop(), "key": key,
            "program_files": arch.program_files}


def write_file(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def stage(prefix, installation, program):
    """Leaves the prefix as the product's installer would; `program` is the built executable."""
    inst = dict(DEFAULT_INSTALLATION)
    inst.update(installation or {})
    arch = prefix.arch
    values = placeholders(prefix, inst["key"])
    driver = b"MZ quillmap keyboard layout driver (test stand-in)\n"
    if inst["driver_in_system"]:
        write_file(prefix.unix(arch.system + "\\" + DRIVER_FILE), driver)
    if inst["driver_in_wow64"] and arch.wow64:
        write_file(prefix.unix(arch.syswow64 + "\\" + DRIVER_FILE), driver)
    if inst["shortcut"]:
        write_file(prefix.unix(prefix.desktop() + "\\" + DIAGRAM + ".LNK"), b"L\0\0\0 shortcut")
    contents = {DIAGRAM + ".pdf": b"%PDF-1.4\n% diagram of the layout\n",
                DIAGRAM + ".ico": open(os.path.join(SOURCE_DIR, "resources", "program.ico"),
                                       "rb").read()}
    for name in inst["product_files"]:
        path = prefix.unix(arch.product + "\\" + name)
        if name == PROGRAM_FILE:
            os.makedirs(os.path.dirname(path), exist_ok=True)
            shutil.copyfile(program, path)
        else:
            write_file(path, contents.get(name, b"x"))
    for name in inst["user_files"]:
        write_file(prefix.unix(arch.product + "\\" + name), b"a file of the user's\n")

    system = wine_registry.RegistryFile(os.path.join(prefix.path, "system.reg"))
    for key, layout in inst["machine_layouts"].items():
        for name, data in layout.items():
            system.set_string(LAYOUTS_KEY + "\\" + key, name, data)
    if inst["layout_key_present"]:
        target = LAYOUTS_KEY + "\\" + inst["key"]
        system.set_string(target, "Layout Text", inst["layout_text"])
        if inst["layout_file"] is not None:
            system.set_string(target, "Layout File", inst["layout_file"])
    if inst["uninstall_entry"]:
        entry = arch.uninstall_key + "\\" + UNINSTALL_ENTRY
        command = '"%s\\%s" %s' % (arch.product, PROGRAM_FILE, inst["key"])
        for name, data in (("DisplayName", UNINSTALL_ENTRY), ("DisplayVersion", "1.06"),
                           ("DisplayIcon", arch.product + "\\" + DIAGRAM + ".ico"),
                           ("InstallLocation", arch.product), ("UninstallString", command)):
            system.set_string(entry, name, data)
    for name in inst["other_uninstall_entries"]:
        system.set_string(arch.uninstall_key + "\\" + name, "DisplayName", name)
    system.save()

    user = wine_registry.RegistryFile(os.path.join(prefix.path, "user.reg"))
    user.delete_key(r"Keyboard Layout\Preload")
    for name, data in fill(inst["preload"], values).items():
        user.set_string(r"Keyboard Layout\Preload", name, data)
    user.delete_key(r"Keyboard Layout\Substitutes")
    if inst["substitutes"] is not None:
        user.create_key(r"Keyboard Layout\Substitutes")
        for name, data in fill(inst["substitutes"], values).items():
            user.set_string(r"Keyboard Layout\Substitutes", name, data)
    user.save()
    return inst


# ---- State -----------------------------------------------------------------------------------


def state(prefix, key):
    """The facts a scenario checks, read from the prefix's files and registry files."""
    arch = prefix.arch
    temp_copy = prefix.temp() + "\\" + PROGRAM_FILE
    exists = lambda windows_path: os.path.exists(prefix.unix(windows_path))
    facts = {"driver in system32": exists(arch.system + "\\" + DRIVER_FILE)}
    if arch.wow64:
        facts["driver in syswow64"] = exists(arch.syswow64 + "\\" + DRIVER_FILE)
    facts["shortcut on the desktop"] = exists(prefix.desktop() + "\\" + DIAGRAM + ".LNK")
    facts["product folder"] = exists(arch.product)
    product = prefix.unix(arch.product)
    names = sorted(os.listdir(product)) if os.path.isdir(product) else []
    facts["files in the product folder"] = names
    facts["copy in TEMP"] = exists(temp_copy)

    system = wine_registry.RegistryFile(os.path.join(prefix.path, "system.reg"))
    user = wine_registry.RegistryFile(os.path.join(prefix.path, "user.reg"))
    facts["HKCU Preload"] = user.strings(r"Keyboard Layout\Preload")
    facts["HKCU Substitutes"] = user.strings(r"Keyboard Layout\Substitutes")
    facts["HKLM layout " + key] = system.strings(LAYOUTS_KEY + "\\" + key)
    facts["HKLM other layouts"] = {name: system.strings(LAYOUTS_KEY + "\\" + name)
                                   for name in system.subkeys(LAYOUTS_KEY)
                                   if name.lower() != key.lower()}
    facts["Uninstall entry"] = system.strings(arch.uninstall_key + "\\" + UNINSTALL_ENTRY)
    other = [n for n in system.subkeys(arch.uninstall_key) if n != UNINSTALL_ENTRY]
    facts["other Uninstall entries"] = other
    pending = (system.values(SESSION_MANAGER_KEY) or {}).get("PendingFileRenameOperations")
    operations = pending[1] if pending else []
    deletions = [operations[i] for i in range(0, len(operations) - 1, 2)
                 if operations[i + 1] == ""]
    facts["deleted at restart"] = [re.sub(r"^\\\?\?\\", "", p) for p in deletions]
    return facts


def expected_state(before, changes, values):
    """The facts before, with the scenario's changes; a change of a fact that this prefix does
    not have (the SysWOW64 copy on 32-bit Windows) is passed over."""
    after = dict(before)
    for name, value in changes.items():
        name = fill(name, values)
        if name in after:
            after[name] = fill(value, values)
    return after


# ---- Running ---------------------------------------------------------------------------------


class Display:
    """An X server of its own, of a known size, for one run."""

    def __init__(self, size="1920x1080x24"):
        read, write = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", size, "-nolisten", "tcp"],
            pass_fds=(write,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        number = b""
        while not number.endswith(b"\n"):
            chunk = os.read(read, 16)
            if not chunk:
                raise RuntimeError("Xvfb did not start")
            number += chunk
        os.close(read)
        self.name = ":" + number.decode().strip()

    def close(self):
        self.process.send_signal(signal.SIGTERM)
        self.process.wait(timeout=10)


def wine_environment(prefix, locale_dir, display):
    env = {k: v for k, v in os.environ.items() if not k.startswith("WINE")}
    env.update(WINEPREFIX=prefix.path, WINEDEBUG=os.environ.get("E2E_WINEDEBUG", "-all"),
               WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d",
               LOCPATH=locale_dir, LANG="de_DE.UTF-8", LC_ALL="de_DE.UTF-8", DISPLAY=display)
    return env


def run_program(prefix, driver, locale_dir, log_path, args=None, answers=None, mode="script",
                holds=(), screenshot=None, timeout=60, display=None, program=None,
                window_class=PROGRAM_NAME, cwd=None):
    """Starts the program (by default the installed uninstaller in its product folder) under the
    box driver and waits until every Wine process of the prefix has ended. Returns the
    transcript records.

    args: None for no argument at all, else the text after the quoted program path.
    mode: "script" (answers in order), "auto" (Yes and OK) or "watch" (a person answers).
    holds: Windows paths of files that the driver holds open during the run.
    screenshot: a PNG file to write with the screen as it is when the first question is open.
    display: an X display to use; by default the run gets an X server of its own, 1920x1080.
    cwd: the working directory the program starts in; by default the system folder, as when
    Windows' list of installed programs starts it.
    """
    arch = prefix.arch
    program = program or arch.product + "\\" + PROGRAM_FILE
    work = os.path.join(prefix.drive_c, "e2e")
    os.makedirs(work, exist_ok=True)
    shutil.copyfile(driver, os.path.join(work, "boxdriver.exe"))
    transcript = os.path.join(work, "transcript.jsonl")
    command = ["wine", r"C:\e2e\boxdriver.exe", "--transcript", r"C:\e2e\transcript.jsonl",
               "--program", program, "--cwd", cwd or arch.system, "--window-class", window_class,
               "--timeout-ms", str(int(timeout * 1000 * 0.75))]
    if args is not None:
        command += ["--args", args]
    if mode == "auto":
        command.append("--auto")
    elif mode == "watch":
        command.append("--watch-only")
    elif answers:
        command += ["--answers", ",".join(answers)]
    for path in holds:
        command += ["--hold", path]
    if screenshot:
        command += ["--screenshot", r"C:\e2e\screen.bmp"]

    own_display = None
    if display is None:
        own_display = Display()
        display = own_display.name
    env = wine_environment(prefix, locale_dir, display)
    started = time.monotonic()
    try:
        with open(log_path, "w") as log:
            # The driver returns when the program's processes have ended. Wine's own processes
            # (the desktop, services) would take seconds to wind down; ending them at once is
            # safe, since the server still writes the registry files when it goes.
            try:
                subprocess.run(command, env=env, stdout=log, stderr=subprocess.STDOUT,
                               timeout=timeout)
            except subprocess.TimeoutExpired:
                log.write("\n*** harness: no end after %d s; ending every Wine process\n" % timeout)
            subprocess.run(["wineserver", "-k"], env=env, stdout=log, stderr=log)
            subprocess.run(["wineserver", "-w"], env=env, timeout=30)
            log.write("\n*** harness: run took %.1f s\n" % (time.monotonic() - started))
    finally:
        if own_display:
            own_display.close()
    if screenshot and os.path.exists(os.path.join(work, "screen.bmp")):
        bmp_to_png(os.path.join(work, "screen.bmp"), screenshot)
    records = []
    if os.path.exists(transcript):
        with open(transcript, encoding="ascii") as f:
            records = [json.loads(line) for line in f if line.strip()]
    return records


def bmp_to_png(bmp_path, png_path):
    """Converts the driver's 24-bit bottom-up BMP into a PNG, without outside tools."""
    import struct
    import zlib
    data = open(bmp_path, "rb").read()
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    row_size = (width * 3 + 3) & ~3
    rows = []
    for y in range(height - 1, -1, -1):
        row = data[offset + y * row_size: offset + y * row_size + width * 3]
        rgb = bytearray(row)
        rgb[0::3], rgb[2::3] = row[2::3], row[0::3]
        rows.append(b"\0" + bytes(rgb))

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    png = (b"\x89PNG\r\n\x1a\n" +
           chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
           chunk(b"IDAT", zlib.compress(b"".join(rows), 6)) + chunk(b"IEND", b""))
    with open(png_path, "wb") as f:
        f.write(png)


# ---- Reading the transcript ------------------------------------------------------------------


def cp1252(text):
    """A transcript text (one character per byte) shown readably."""
    return text.encode("latin-1").decode("cp1252", errors="replace")


def describe(records):
    lines = []
    for r in records:
        kind = r["kind"]
        if kind == "box":
            lines.append("box    [%s] %s, owner %s, icon %s, buttons %s, answered %s%s" % (
                r["role"], json.dumps(cp1252(r["caption"]), ensure_ascii=False), r["owner"],
                r["icon"], "/".join(r["buttons"]), r["answer"],
                " (%s)" % r["note"] if "note" in r else ""))
            for line in cp1252(r["text"]).split("\n"):
                lines.append("         | " + line.rstrip("\r"))
        elif kind == "window":
            lines.append("window [%s] class %s, title %s, rect %s" % (
                r["role"], json.dumps(cp1252(r["class"]), ensure_ascii=False),
                json.dumps(cp1252(r["title"]), ensure_ascii=False), r["rect"]))
        elif kind == "process":
            lines.append("process [%s] %s (pid %d)" % (r["role"], cp1252(r["image"]), r["pid"]))
        elif kind == "exit":
            lines.append("exit   [%s] code %d (pid %d)" % (r["role"], r["code"], r["pid"]))
        else:
            lines.append("%-6s %s" % (kind, json.dumps({k: v for k, v in r.items() if k != "kind"},
                                                      ensure_ascii=False)))
    return "\n".join(lines)


def describe_state(facts):
    return "\n".join("  %-32s %s" % (name, json.dumps(value, ensure_ascii=False))
                     for name, value in facts.items())
