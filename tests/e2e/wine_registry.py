"""Reads and edits the registry files of a Wine prefix (system.reg, user.reg).

Wine keeps each registry branch in one text file and loads it when wineserver starts; it writes
it back when wineserver ends. So the files are edited only while no wineserver runs for the
prefix, and read only after it has ended.

The file is a list of key blocks:

    [Keyboard Layout\\Preload] 1796991811
    #time=1dd896a6f6aee14
    "1"="00000407"

Key names are relative to the branch (HKLM or the user's HKCU), with backslashes doubled. Values
are REG_SZ strings ("..."), str(N):"..." for other string types (2 expandable, 7 multi-string
with \\0 separators), dword:XXXXXXXX, or hex:../hex(N):.. byte lists with line continuations.
Wine writes a key only when it has values or no subkeys; a key with only subkeys exists through
its descendants.
"""
import re

REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_MULTI_SZ = 1, 2, 3, 4, 7

_ESCAPES = {"a": "\a", "b": "\b", "e": "\x1b", "f": "\f", "n": "\n", "r": "\r", "t": "\t",
            "v": "\v", "\\": "\\", '"': '"', "[": "[", "]": "]"}


def _unescape(text, start, end_char):
    """Parses an escaped string from text[start] up to end_char; returns (string, next index)."""
    out = []
    i = start
    while i < len(text) and text[i] != end_char:
        c = text[i]
        if c != "\\":
            out.append(c)
            i += 1
            continue
        i += 1
        c = text[i]
        if c == "x":
            digits = re.match(r"[0-9a-fA-F]{1,4}", text[i + 1:])
            out.append(chr(int(digits.group(0), 16)))
            i += 1 + len(digits.group(0))
        elif c in "01234567":
            digits = re.match(r"[0-7]{1,3}", text[i:])
            out.append(chr(int(digits.group(0), 8)))
            i += len(digits.group(0))
        else:
            out.append(_ESCAPES.get(c, c))
            i += 1
    return "".join(out), i + 1


def _escape(text):
    out = []
    for c in text:
        if c in '\\"':
            out.append("\\" + c)
        elif c == "\n":
            out.append("\\n")
        elif c == "\0":
            out.append("\\0")
        elif ord(c) < 0x20 or ord(c) > 0x7E:
            out.append("\\x%04x" % ord(c))
        else:
            out.append(c)
    return "".join(out)


def _split_multi(text):
    """The strings of a multi-string, its last terminator dropped; empty strings between
    terminators are kept (a delayed deletion is a path followed by an empty target)."""
    parts = text.split("\0")
    return parts[:-1] if text.endswith("\0") else parts


def _parse_value(line):
    """Parses one value line; returns (name or "" for the default value, type, data)."""
    if line.startswith("@="):
        name, rest = "", line[2:]
    else:
        name, i = _unescape(line, 1, '"')
        rest = line[i + 1:]  # after the '='
    if rest.startswith('"'):
        return name, REG_SZ, _unescape(rest, 1, '"')[0]
    match = re.match(r"str\((\d+)\):\"", rest)
    if match:
        kind = int(match.group(1))
        text = _unescape(rest, match.end(), '"')[0]
        return name, kind, _split_multi(text) if kind == REG_MULTI_SZ else text
    if rest.startswith("dword:"):
        return name, REG_DWORD, int(rest[6:14], 16)
    match = re.match(r"hex(?:\((\d+)\))?:", rest)
    if match:
        kind = int(match.group(1), 16) if match.group(1) else REG_BINARY
        data = bytes(int(b, 16) for b in rest[match.end():].replace(" ", "").split(",") if b)
        if kind == REG_MULTI_SZ:
            return name, kind, _split_multi(data.decode("utf-16-le"))
        if kind in (REG_SZ, REG_EXPAND_SZ):
            return name, kind, data.decode("utf-16-le").rstrip("\0")
        return name, kind, data
    raise ValueError("unknown registry value: %r" % line)


class Key:
    def __init__(self, name, header_line, lines):
        self.name = name                # the key's name, unescaped
        self.header_line = header_line  # the "[name] stamp" line as it will be written
        self.lines = lines              # the lines after the header, continuations joined
        self.raw = list(lines)          # the same lines as they stand in the file
        self.edited = False

    def values(self):
        result = {}
        for line in self.lines:
            if line.startswith('"') or line.startswith("@="):
                name, kind, data = _parse_value(line)
                result[name] = (kind, data)
        return result


class RegistryFile:
    """One branch file. Names are compared without regard to case, as Windows does."""

    def __init__(self, path):
        self.path = path
        with open(path, encoding="latin-1") as f:
            raw = f.read().split("\n")
        if raw and raw[-1] == "":
            raw.pop()
        self.preamble = []
        self.keys = []
        current = None
        continued = False
        for line in raw:
            if continued:  # a hex list goes on: a line ending in a backslash
                current.raw.append(line)
                current.lines[-1] = current.lines[-1][:-1] + line.strip()
                continued = current.lines[-1].endswith("\\")
            elif line.startswith("["):
                name, _ = _unescape(line, 1, "]")
                current = Key(name, line.rstrip(), [])
                self.keys.append(current)
            elif current is None:
                self.preamble.append(line)
            elif line.strip():
                current.raw.append(line)
                current.lines.append(line)
                continued = line.endswith("\\") and not line.startswith("#")
        self._index = {k.name.lower(): k for k in self.keys}
        stamps = [k.header_line.rsplit("]", 1)[-1].strip() for k in self.keys]
        self._stamp = max((s for s in stamps if s.isdigit()), key=int, default="0")

    # ---- Reading ----

    def exists(self, name):
        lowered = name.lower()
        return lowered in self._index or any(k.startswith(lowered + "\\") for k in self._index)

    def values(self, name):
        """The key's values as {name: (type, data)}; None when the key does not exist."""
        key = self._index.get(name.lower())
        if key is not None:
            return key.values()
        return {} if self.exists(name) else None

    def strings(self, name):
        """The key's values as {name: data} for comparisons; None when the key does not exist."""
        values = self.values(name)
        return None if values is None else {n: d for n, (_, d) in values.items()}

    def subkeys(self, name):
        prefix = name.lower() + "\\"
        found = {}
        for key in self.keys:
            if key.name.lower().startswith(prefix):
                child = key.name[len(prefix):].split("\\")[0]
                found.setdefault(child.lower(), child)
        return sorted(found.values(), key=str.lower)

    # ---- Editing (only while no wineserver runs for the prefix) ----

    def create_key(self, name):
        key = self._index.get(name.lower())
        if key is None:
            key = Key(name, "[%s] %s" % (_escape(name), self._stamp), [])
            self.keys.append(key)
            self._index[name.lower()] = key
        return key

    def set_string(self, key_name, value_name, text):
        key = self.create_key(key_name)
        line = ('"%s"="%s"' % (_escape(value_name), _escape(text)) if value_name
                else '@="%s"' % _escape(text))
        for i, existing in enumerate(key.lines):
            if existing.startswith('"') or existing.startswith("@="):
                if _parse_value(existing)[0].lower() == value_name.lower():
                    key.lines[i] = line
                    key.edited = True
                    return
        key.lines.append(line)
        key.edited = True

    def delete_value(self, key_name, value_name):
        key = self._index.get(key_name.lower())
        if key is None:
            return
        key.lines = [l for l in key.lines if not ((l.startswith('"') or l.startswith("@="))
                                                   and _parse_value(l)[0].lower() == value_name.lower())]
        key.edited = True

    def delete_key(self, name):
        """Deletes the key and everything below it."""
        lowered = name.lower()
        self.keys = [k for k in self.keys if k.name.lower() != lowered
                     and not k.name.lower().startswith(lowered + "\\")]
        self._index = {k.name.lower(): k for k in self.keys}

    def save(self):
        out = list(self.preamble)
        while out and not out[-1].strip():
            out.pop()
        out.append("")
        for key in self.keys:
            out.append(key.header_line)
            out.extend(key.lines if key.edited else key.raw)
            out.append("")
        with open(self.path, "w", encoding="latin-1") as f:
            f.write("\n".join(out))
