#!/usr/bin/env python3
"""Generates compiler/chartables.cpp: the character tables and dead-key tables of the eight
keyboard languages (US, GR, FR, UK, SG, SF, IT, SP).

Each character table has 256 values, one per code page 850 character:
  bits 0-7   scancode (scan code set 1 make code) of the key that types the character
  bits 8-11  shift code: 1 no modifier, 2 Shift, 3 Ctrl, 5 AltGr, 6 small letter,
             7 capital letter, 9 Caps Lock, 10 Caps Lock and Shift, 12 Shift with AltGr
  bits 12-15 dead-key index (1-7) to send first, 0 for none
A value of 0 means that no key types the character; the conversion then types it with Alt and
its decimal code on the numeric keypad.

The national layouts are read from xkeyboard-config (the xkb symbols files of Debian's xkb-data:
us, de, fr, gb, ch(de), ch(fr), it, es, with the files they include). Keys of the main block
only (the numeric keypad is left to the Alt sequences); the xkb key names map to set-1 scancodes
(<TLDE> 29h, <AE01>-<AE12> 02h-0Dh, <AD01>-<AD12> 10h-1Bh, <AC01>-<AC11> 1Eh-28h, <BKSL> 2Bh,
<LSGT> 56h, <AB01>-<AB10> 2Ch-35h, space 39h). Level 1 of a key is typed without modifier,
level 2 with Shift, level 3 with AltGr, level 4 with AltGr and Shift.

Every layout is laid over xkb's pc105 keyboard (space bar, the key between left Shift and Z).
How a character's key is chosen when several keys type it: no modifier, then Shift, then an
AltGr level that the national symbols file assigns itself, then a dead-key sequence, then an
AltGr+Shift level of the national file, then the AltGr levels that the layout only inherits from
xkb's common Latin file (first AltGr, then AltGr+Shift); among equals the key that comes first
in the rows (from the key left of 1, row by row down to the space bar).

Encoding rules: a key whose levels 1 and 2 are a small letter and its capital is a letter key:
its small letter carries 6, its capital 7, so that the conversion can compensate Caps Lock. Any
other character of level 1 carries 1, of level 2 carries 2, of level 3 carries 5, of level 4
carries 12. Control characters 00h-1Fh are Ctrl (3) with the key of the corresponding letter of
the layout (00h Ctrl+2, 1Bh-1Fh the keys of the layout's [ \\ ] 6 -); 08h, 09h, 0Dh and 7Fh are
Backspace, Tab, Enter and Ctrl+Backspace. The dead-key tables below are the keyboard's own; each
entry is checked against the layout (the key and level must hold that dead key). A dead key
types the letters that decompose into a base letter of the layout plus its accent: the value is
the index and the base letter's value (for example GR e with acute = 2612h).

Places where the tables depart from the national layout as xkb defines it, and why:
  * Dead keys are used only where the keyboard's dead-key tables have them (GR: grave, acute,
    circumflex; FR: circumflex, diaeresis; SG and SF: grave, acute, circumflex, diaeresis, tilde;
    SP: grave, acute, circumflex, diaeresis). The other dead keys of the layouts (AltGr levels
    of de, fr, gb, it, es; the Spanish AltGr tilde) have no index; what only they type is 0.
  * Of the spacing accents, only ^ ` ~ are typed as their dead key followed by the space bar:
    dead key and space give these three on every system. The acute accent and the diaeresis are
    not typed that way (after a dead key the space bar gives an apostrophe or a double quote on
    X11, the accent on other systems); they are 0 unless a key types them directly.
  * SP: n with tilde (A4h) is 0127h, shift code 1 instead of the letter code 6: the keyboard's
    own table has this value. Its capital (A5h) keeps the letter code 7 (0727h), which types
    the right character under Caps Lock too.
  * SG and SF: the capitals A, O, U with diaeresis and A with grave, E with acute, E with grave
    are typed through Caps Lock (9) or Caps Lock and Shift (10) on the key of their small letter,
    as the Swiss keyboards do, although xkb also reaches some of them with dead keys.
  * Keys that xkb's Latin file adds at the AltGr levels (for example AltGr+a for ae on GR, FR,
    UK, SG, SF, IT, SP) are taken over as the layout defines them; AltGr with Shift (level 4)
    uses shift code 12, which presses Shift and AltGr.
  * A character typed with AltGr (5) or AltGr and Shift (12) does not compensate Caps Lock: the
    shift codes have no AltGr letter form.
  * Control characters use Ctrl with the key of [ \\ ] 6 - even where the layout reaches that
    character only with Shift or AltGr (the key is what matters for Ctrl).
  * US: the key between left Shift and Z, which xkb's pc105 keyboard has, is left out: the US
    keyboard does not have it (< and > stay on Shift+comma and Shift+period).
  * The numeric keypad is not used (its characters are on the main block too).

Run it from the repository's top folder: python3 compiler/gen/make_chartables.py
(XKB_SYMBOLS names another symbols folder; --check compares instead of writing).
"""

import os
import re
import sys
import unicodedata

XKB = os.environ.get("XKB_SYMBOLS", "/usr/share/X11/xkb/symbols")
OUTPUT = "compiler/chartables.cpp"

# Language index order, with the xkb file and variant of each national layout.
LAYOUTS = [("US", "us", "basic"), ("GR", "de", "basic"), ("FR", "fr", "basic"),
           ("UK", "gb", "basic"), ("SG", "ch", "de"), ("SF", "ch", "fr"),
           ("IT", "it", "basic"), ("SP", "es", "basic")]

# Dead-key tables of the keyboard: index -> (shift code, scancode).
DEADKEY_TABLES = {
    "US": {}, "UK": {}, "IT": {},
    "GR": {1: (0x02, 0x0D), 2: (0x01, 0x0D), 3: (0x01, 0x29)},
    "FR": {3: (0x01, 0x1A), 4: (0x02, 0x1A)},
    "SG": {1: (0x02, 0x0D), 2: (0x05, 0x0C), 3: (0x01, 0x0D), 4: (0x01, 0x1B), 5: (0x05, 0x0D)},
    "SF": {1: (0x02, 0x0D), 2: (0x05, 0x0C), 3: (0x01, 0x0D), 4: (0x01, 0x1B), 5: (0x05, 0x0D)},
    "SP": {1: (0x01, 0x1A), 2: (0x01, 0x28), 3: (0x02, 0x1A), 4: (0x02, 0x28)},
}
SHIFT_OF_LEVEL = {1: 0x01, 2: 0x02, 3: 0x05, 4: 0x0C}
LEVEL_OF_SHIFT = {v: k for k, v in SHIFT_OF_LEVEL.items()}

# Main-block keys in row order, with their set-1 scancodes.
KEYS = ([("TLDE", 0x29)] + [("AE%02d" % i, 0x01 + i) for i in range(1, 13)] +
        [("AD%02d" % i, 0x0F + i) for i in range(1, 13)] +
        [("AC%02d" % i, 0x1D + i) for i in range(1, 12)] + [("BKSL", 0x2B), ("LSGT", 0x56)] +
        [("AB%02d" % i, 0x2B + i) for i in range(1, 11)] + [("SPCE", 0x39)])
ALIASES = {"AC12": "BKSL"}

DEAD_MARKS = {"dead_grave": "\u0300", "dead_acute": "\u0301", "dead_circumflex": "\u0302",
              "dead_tilde": "\u0303", "dead_diaeresis": "\u0308"}
# Spacing accents that a dead key followed by the space bar types everywhere.
SPACING = {"\u0300": "`", "\u0302": "^", "\u0303": "~"}

# X keysym names of the Latin-1 characters, in code order from A0h (20h-7Eh are below).
LATIN1_HIGH = """nobreakspace exclamdown cent sterling currency yen brokenbar section diaeresis
copyright ordfeminine guillemotleft notsign hyphen registered macron degree plusminus twosuperior
threesuperior acute mu paragraph periodcentered cedilla onesuperior masculine guillemotright
onequarter onehalf threequarters questiondown Agrave Aacute Acircumflex Atilde Adiaeresis Aring
AE Ccedilla Egrave Eacute Ecircumflex Ediaeresis Igrave Iacute Icircumflex Idiaeresis ETH Ntilde
Ograve Oacute Ocircumflex Otilde Odiaeresis multiply Oslash Ugrave Uacute Ucircumflex Udiaeresis
Yacute THORN ssharp agrave aacute acircumflex atilde adiaeresis aring ae ccedilla egrave eacute
ecircumflex ediaeresis igrave iacute icircumflex idiaeresis eth ntilde ograve oacute ocircumflex
otilde odiaeresis division oslash ugrave uacute ucircumflex udiaeresis yacute thorn
ydiaeresis""".split()
ASCII_NAMES = """space exclam quotedbl numbersign dollar percent ampersand apostrophe parenleft
parenright asterisk plus comma minus period slash""".split() + list("0123456789") + \
    """colon semicolon less equal greater question at""".split() + \
    [chr(c) for c in range(0x41, 0x5B)] + \
    """bracketleft backslash bracketright asciicircum underscore grave""".split() + \
    [chr(c) for c in range(0x61, 0x7B)] + """braceleft bar braceright asciitilde""".split()
KEYSYMS = {name: chr(0x20 + i) for i, name in enumerate(ASCII_NAMES)}
KEYSYMS.update({name: chr(0xA0 + i) for i, name in enumerate(LATIN1_HIGH)})
KEYSYMS.update({"quoteright": "'", "quoteleft": "`", "Eth": "\u00d0", "Thorn": "\u00de",
                "Ooblique": "\u00d8", "ooblique": "\u00f8", "guillemetleft": "\u00ab",
                "guillemetright": "\u00bb", "ordmasculine": "\u00ba", "idotless": "\u0131",
                "function": "\u0192"})
assert len(ASCII_NAMES) == 95 and len(LATIN1_HIGH) == 96


def keysym(name):
    """A keysym name as a character, a dead-key mark ("dead", mark), or None."""
    if name in KEYSYMS:
        return KEYSYMS[name]
    if name.startswith("dead_"):
        return ("dead", DEAD_MARKS.get(name))
    if re.fullmatch(r"U[0-9A-Fa-f]{4,6}", name):
        return chr(int(name[1:], 16))
    if re.fullmatch(r"0x[0-9A-Fa-f]+", name):
        value = int(name, 16)
        if value >= 0x1000000:
            return chr(value - 0x1000000)
        if 0x20 <= value <= 0xFF:
            return chr(value)
    return None


def strip_comments(text):
    text = re.sub(r"/\*.*?\*/", " ", text, flags=re.S)
    return re.sub(r"//[^\n]*", " ", text)


_files = {}


def variants(fname):
    """The xkb_symbols blocks of a symbols file: (variant -> body, default variant)."""
    if fname not in _files:
        text = strip_comments(open(os.path.join(XKB, fname), encoding="utf-8").read())
        blocks, default = {}, None
        for m in re.finditer(r"((?:[a-z_]+\s+)*)xkb_symbols\s+\"([^\"]+)\"\s*\{", text):
            depth, pos = 1, m.end()
            while depth and pos < len(text):
                depth += {"{": 1, "}": -1}.get(text[pos], 0)
                pos += 1
            blocks[m.group(2)] = text[m.end():pos - 1]
            if default is None and ("default" in m.group(1).split() or not blocks):
                default = m.group(2)
        _files[fname] = (blocks, default or next(iter(blocks)))
    return _files[fname]


def load(fname, variant, own_file, keys):
    """Merges a symbols block into keys: key name -> list of [symbol, own] per level."""
    blocks, default = variants(fname)
    body = blocks[variant or default]
    statement = re.compile(r"include\s+\"([^\"]+)\"|"
                           r"((?:override|replace|augment)\s+)?key\s+<(\w+)>\s*\{([^{}]*)\}")
    for m in statement.finditer(body):
        if m.group(1):
            for part in re.split(r"[+|]", m.group(1)):
                inc = re.fullmatch(r"([\w-]+)(?:\((\w+)\))?", part.strip())
                load(inc.group(1), inc.group(2), own_file, keys)
            continue
        merge = (m.group(2) or "override").strip()
        name = ALIASES.get(m.group(3), m.group(3))
        attrs = re.sub(r"\w+\s*\[\s*\w+\s*\]\s*=\s*\"[^\"]*\"", " ", m.group(4))  # key types
        lists = re.findall(r"(?:(\w+)\s*\[\s*\w+\s*\]\s*=\s*)?\[([^\]]*)\]", attrs)
        syms = next((s for kind, s in lists if kind in ("", "symbols")), None)
        if syms is None:
            continue
        levels = [s.strip() for s in syms.split(",")]
        into = keys.setdefault(name, [])
        if merge == "replace":
            into.clear()
        for i, sym in enumerate(levels):
            if sym == "NoSymbol":
                sym = None
            own = fname == own_file
            if i < len(into):
                if sym is not None and (merge != "augment" or into[i][0] is None):
                    into[i] = [sym, own]
            else:
                into.append([sym, own])


def cp850(ch):
    try:
        b = ch.encode("cp850")
    except UnicodeEncodeError:
        return None
    return b[0] if len(b) == 1 else None


def is_letter_pair(small, capital):
    return (isinstance(small, str) and isinstance(capital, str) and small.isalpha() and
            small != capital and small.upper() == capital and capital.lower() == small)


# Which way of typing a character wins: no modifier, Shift, the national file's own AltGr level,
# a dead key, the national file's own AltGr+Shift level, then the AltGr levels that xkb's common
# Latin file adds to every layout.
TIER_DEAD = 3


def tier(level, own):
    if level <= 2:
        return level - 1
    return {(3, True): 2, (4, True): 4, (3, False): 5, (4, False): 6}[(level, own)]


def table(lang, fname, variant, unknown):
    keys = {}
    load("pc", "pc105", fname, keys)  # the keys every layout is laid over (space bar, <LSGT>)
    load(fname, variant, fname, keys)
    if lang == "US":
        del keys["LSGT"]  # the US keyboard has no key between left Shift and Z
    layout = {}  # scancode -> [(character or dead marker, own)] per level 1-4
    for order, (name, code) in enumerate(KEYS):
        levels = []
        for sym, own in (keys.get(name, []) + [[None, False]] * 4)[:4]:
            value = keysym(sym) if sym else None
            if sym and value is None and not sym.startswith("dead_") and sym != "VoidSymbol":
                unknown.add(sym)
            levels.append((value, own))
        layout[code] = (order, levels)

    best = {}  # character code -> (rank, value)

    def offer(ch, rank, value):
        code = cp850(ch) if isinstance(ch, str) and len(ch) == 1 else None
        if code is not None and (code not in best or rank < best[code][0]):
            best[code] = (rank, value)

    for code, (order, levels) in layout.items():
        (l1, _), (l2, _) = levels[0], levels[1]
        pair = is_letter_pair(l1, l2)
        for level, (ch, own) in enumerate(levels, start=1):
            if not isinstance(ch, str):
                continue
            shift = SHIFT_OF_LEVEL[level]
            if pair and level == 1:
                shift = 0x06
            elif pair and level == 2:
                shift = 0x07
            if lang == "SP" and ch == "\u00f1":
                shift = 0x01
            offer(ch, (tier(level, own), order), shift << 8 | code)

    # The keyboard's dead keys, checked against the layout.
    dead = {}
    for index, (shift, code) in DEADKEY_TABLES[lang].items():
        sym = layout[code][1][LEVEL_OF_SHIFT[shift] - 1][0]
        if not (isinstance(sym, tuple) and sym[1]):
            sys.exit(f"{lang}: dead key {index} is not a dead key of the layout ({sym!r})")
        dead[sym[1]] = index
    direct = {code: value for code, (rank, value) in best.items()}
    for code in range(0x20, 0x100):
        ch = bytes([code]).decode("cp850")
        nfd = unicodedata.normalize("NFD", ch)
        if len(nfd) != 2 or nfd[1] not in dead:
            continue
        base = direct.get(cp850(nfd[0]))
        if base is not None and (base >> 8) in (0x06, 0x07):
            offer(ch, (TIER_DEAD, 0), dead[nfd[1]] << 12 | base)
    for mark, index in dead.items():
        if mark in SPACING:
            offer(SPACING[mark], (TIER_DEAD, 0), index << 12 | 0x0139)

    values = [0] * 256
    for code, (rank, value) in best.items():
        values[code] = value

    # The Swiss capitals: Caps Lock on the key of the small letter (Shift when that is level 2).
    if lang in ("SG", "SF"):
        for capital in "\u00c4\u00d6\u00dc\u00c0\u00c9\u00c8":
            small = direct[cp850(capital.lower())]
            shift = {0x01: 0x09, 0x02: 0x0A}[small >> 8]
            values[cp850(capital)] = shift << 8 | (small & 0xFF)

    # Control characters.
    def key_of(ch):
        return direct[cp850(ch)] & 0xFF
    for n in range(1, 27):
        values[n] = 0x0300 | key_of(chr(0x60 + n))
    values[0x00] = 0x0303
    for n, ch in zip(range(0x1B, 0x20), "[\\]6-"):
        values[n] = 0x0300 | key_of(ch)
    values[0x08], values[0x09], values[0x0D], values[0x7F] = 0x010E, 0x010F, 0x011C, 0x030E
    return values


def render():
    unknown = set()
    out = ["// Generated by compiler/gen/make_chartables.py from the national keyboard layouts:",
           "// the character tables of the keyboard languages, indexed by the code page 850",
           "// character, and their dead-key tables. Do not edit; change the generator.",
           '#include "compiler/chartables.h"', "", "namespace compiler {", "",
           "const std::uint16_t kCharTables[8][256] = {"]
    for lang, fname, variant in LAYOUTS:
        vals = table(lang, fname, variant, unknown)
        out.append(f"    // {lang}")
        out.append("    {")
        for i in range(0, 256, 8):
            out.append("        " + " ".join(f"0x{v:04X}," for v in vals[i:i + 8]) + f"  // {i:02X}")
        out.append("    },")
    out.append("};")
    out.append("")
    out.append("const std::uint8_t kDeadKeyTables[8][8][2] = {")
    for lang, _, _ in LAYOUTS:
        entries = []
        for idx in range(8):
            e = DEADKEY_TABLES[lang].get(idx, (0, 0))
            entries.append("{" + ", ".join(f"0x{b:02X}" for b in e) + "}")
        out.append(f"    {{{', '.join(entries)}}},  // {lang}")
    out.append("};")
    out.append("")
    out.append("}  // namespace compiler")
    return "\n".join(out) + "\n", unknown


def main():
    text, unknown = render()
    if "--unknown" in sys.argv:
        print("\n".join(sorted(unknown)))
        return
    if "--check" in sys.argv:
        if open(OUTPUT, encoding="utf-8").read() != text:
            sys.exit(f"{OUTPUT} differs from the layouts")
        return
    with open(OUTPUT, "w", encoding="utf-8") as f:
        f.write(text)


if __name__ == "__main__":
    main()
