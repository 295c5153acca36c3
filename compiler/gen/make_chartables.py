#!/usr/bin/env python3
"""Generates compiler/chartables.cpp: the character tables of the eight keyboard languages.

Each table has 256 values, one per code page 850 character:
  bits 0-7   scancode (set 1 make code) of the key that types the character
  bits 8-11  shift code: 1 no modifier, 2 Shift, 3 Ctrl, 5 AltGr, 6 small letter, 7 capital
             letter, 9 Caps Lock, 10 Caps Lock and Shift, 12 Shift with AltGr
  bits 12-15 dead-key index (1-7) to send first, 0 for none
A value of 0 means no key types the character: it is then typed with Alt and the numeric keypad,
which is always right, so a character is left out rather than guessed where the layout is not
certain.

The layouts below are the national layouts of the keyboards (US, German, French AZERTY, UK, Swiss
German, Swiss French, Italian, Spanish), written as key rows. Decisions against a plain reading
of a national layout, and why:
  * Dead keys exist only where the keyboard's dead-key table has them (GR: grave, acute,
    circumflex; FR: circumflex, diaeresis; SG/SF: grave, acute, circumflex, diaeresis, tilde;
    SP: grave, acute, circumflex, diaeresis). Other dead keys of a layout (the French AltGr tilde
    and grave, the Spanish AltGr tilde) are left out: their characters use Alt + keypad.
  * A spacing accent whose key is dead (^ ` ´ ¨ ~) is typed as its dead key followed by the
    space bar, as the layout itself does.
  * Spanish ñ/Ñ carry the plain shift codes 1/2 (the keyboard's own table has ñ = 0127h), and ç/Ç
    follow them, the other letter of that layout outside a-z.
  * French letters on the digit row (é è ç à) and ù carry 1: Shift gives a digit or symbol on
    those keys, not the capital, so "small letter" handling would be wrong under Caps Lock.
  * The Swiss capitals Ä Ö Ü À É È are reached only through Caps Lock (9 or 10).
  * Control characters follow the rule of the table (Ctrl with the letter's key; 1Bh-1Fh with the
    keys of [ \\ ] 6 -), also where the layout reaches [ \\ ] only with AltGr.
  * AltGr characters outside code page 850 (the euro sign) cannot occur; AltGr+Shift characters
    use shift code 12 only where the layout is certain (Italian { }).

Run it from the repository's top folder: python3 compiler/gen/make_chartables.py
"""

import unicodedata

LANGS = ["US", "GR", "FR", "UK", "SG", "SF", "IT", "SP"]

# Dead keys: marks that the dead keys type, by language: mark -> index.
GRAVE, ACUTE, CIRC, DIAER, TILDE = "\u0300", "\u0301", "\u0302", "\u0308", "\u0303"
DEAD = {
    "US": {}, "UK": {}, "IT": {},
    "GR": {GRAVE: 1, ACUTE: 2, CIRC: 3},
    "FR": {CIRC: 3, DIAER: 4},
    "SG": {GRAVE: 1, ACUTE: 2, CIRC: 3, DIAER: 4, TILDE: 5},
    "SF": {GRAVE: 1, ACUTE: 2, CIRC: 3, DIAER: 4, TILDE: 5},
    "SP": {GRAVE: 1, ACUTE: 2, CIRC: 3, DIAER: 4},
}
SPACING = {GRAVE: "`", ACUTE: "\u00b4", CIRC: "^", DIAER: "\u00a8", TILDE: "~"}

# Dead-key tables: index -> [shift code, scancodes...].
DEADKEY_TABLES = {
    "US": {}, "UK": {}, "IT": {},
    "GR": {1: [0x02, 0x0D], 2: [0x01, 0x0D], 3: [0x01, 0x29]},
    "FR": {3: [0x01, 0x1A], 4: [0x02, 0x1A]},
    "SG": {1: [0x02, 0x0D], 2: [0x05, 0x0C], 3: [0x01, 0x0D], 4: [0x01, 0x1B], 5: [0x05, 0x0D]},
    "SF": {1: [0x02, 0x0D], 2: [0x05, 0x0C], 3: [0x01, 0x0D], 4: [0x01, 0x1B], 5: [0x05, 0x0D]},
    "SP": {1: [0x01, 0x1A], 2: [0x01, 0x28], 3: [0x02, 0x1A], 4: [0x02, 0x28]},
}

D = None  # a dead key or an empty level: types nothing by itself


def letters(keys, chars):
    return {k: (c, c.upper()) for k, c in zip(keys, chars)}


QWERTY_TOP = [0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19]
HOME = [0x1E, 0x1F, 0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26]
BOTTOM = [0x2C, 0x2D, 0x2E, 0x2F, 0x30, 0x31, 0x32]


def base(top, home, bottom):
    rows = {}
    rows.update(letters(QWERTY_TOP, top))
    rows.update(letters(HOME, home))
    rows.update(letters(BOTTOM, bottom))
    rows[0x39] = (" ", D)
    return rows


def layout(lang):
    """scancode -> (level 1, level 2, AltGr, AltGr+Shift); missing levels are None."""
    if lang in ("US", "UK", "IT", "SP"):
        rows = base("qwertyuiop", "asdfghjkl", "zxcvbnm")
    elif lang in ("GR", "SG", "SF"):
        rows = base("qwertzuiop", "asdfghjkl", "yxcvbnm")
    else:  # FR
        rows = base("azertyuiop", "qsdfghjkl", "wxcvbn")
        rows[0x27] = ("m", "M")
    def put(k, *levels):
        rows[k] = levels
    if lang == "US":
        for k, s in zip(range(0x02, 0x0E), ["1!", "2@", "3#", "4$", "5%", "6^", "7&", "8*", "9(", "0)", "-_", "=+"]):
            put(k, s[0], s[1])
        put(0x29, "`", "~"); put(0x1A, "[", "{"); put(0x1B, "]", "}"); put(0x27, ";", ":")
        put(0x28, "'", '"'); put(0x2B, "\\", "|"); put(0x33, ",", "<"); put(0x34, ".", ">"); put(0x35, "/", "?")
    elif lang == "UK":
        for k, s in zip(range(0x02, 0x0E), ["1!", '2"', "3\u00a3", "4$", "5%", "6^", "7&", "8*", "9(", "0)", "-_", "=+"]):
            put(k, s[0], s[1])
        put(0x29, "`", "\u00ac", "\u00a6"); put(0x1A, "[", "{"); put(0x1B, "]", "}"); put(0x27, ";", ":")
        put(0x28, "'", "@"); put(0x2B, "#", "~"); put(0x56, "\\", "|"); put(0x33, ",", "<"); put(0x34, ".", ">")
        put(0x35, "/", "?")
    elif lang == "GR":
        digits = ["1!", '2"\u00b2', "3\u00a7\u00b3", "4$", "5%", "6&", "7/{", "8([", "9)]", "0=}", "\u00df?\\"]
        for k, s in zip(range(0x02, 0x0D), digits):
            put(k, s[0], s[1], s[2] if len(s) > 2 else None)
        put(0x0D, D, D)  # dead acute, dead grave
        put(0x29, D, "\u00b0")  # dead circumflex
        put(0x10, "q", "Q", "@")
        put(0x1A, "\u00fc", "\u00dc"); put(0x1B, "+", "*", "~"); put(0x27, "\u00f6", "\u00d6")
        put(0x28, "\u00e4", "\u00c4"); put(0x2B, "#", "'"); put(0x56, "<", ">", "|")
        put(0x32, "m", "M", "\u00b5"); put(0x33, ",", ";"); put(0x34, ".", ":"); put(0x35, "-", "_")
    elif lang == "FR":
        put(0x29, "\u00b2", D)
        digits = [("&", "1"), ("\u00e9", "2"), ('"', "3", "#"), ("'", "4", "{"), ("(", "5", "["), ("-", "6", "|"),
                  ("\u00e8", "7"), ("_", "8", "\\"), ("\u00e7", "9", "^"), ("\u00e0", "0", "@"), (")", "\u00b0", "]"),
                  ("=", "+", "}")]
        for k, s in zip(range(0x02, 0x0E), digits):
            put(k, *s)
        put(0x1A, D, D)  # dead circumflex, dead diaeresis
        put(0x1B, "$", "\u00a3", "\u00a4"); put(0x28, "\u00f9", "%"); put(0x2B, "*", "\u00b5"); put(0x56, "<", ">")
        put(0x32, ",", "?"); put(0x33, ";", "."); put(0x34, ":", "/"); put(0x35, "!", "\u00a7")
    elif lang in ("SG", "SF"):
        digits = [("1", "+", "\u00a6"), ("2", '"', "@"), ("3", "*", "#"), ("4", "\u00e7"), ("5", "%"), ("6", "&", "\u00ac"),
                  ("7", "/", "|"), ("8", "(", "\u00a2"), ("9", ")"), ("0", "="), ("'", "?")]
        for k, s in zip(range(0x02, 0x0D), digits):
            put(k, *s)
        put(0x0D, D, D)  # dead circumflex, dead grave (AltGr: dead tilde)
        put(0x29, "\u00a7", "\u00b0")
        if lang == "SG":
            put(0x1A, "\u00fc", "\u00e8", "["); put(0x27, "\u00f6", "\u00e9"); put(0x28, "\u00e4", "\u00e0", "{")
        else:
            put(0x1A, "\u00e8", "\u00fc", "["); put(0x27, "\u00e9", "\u00f6"); put(0x28, "\u00e0", "\u00e4", "{")
        put(0x1B, D, "!", "]")  # dead diaeresis
        put(0x2B, "$", "\u00a3", "}"); put(0x56, "<", ">", "\\")
        put(0x33, ",", ";"); put(0x34, ".", ":"); put(0x35, "-", "_")
    elif lang == "IT":
        digits = ["1!", '2"', "3\u00a3", "4$", "5%", "6&", "7/", "8(", "9)", "0=", "'?", "\u00ec^"]
        for k, s in zip(range(0x02, 0x0E), digits):
            put(k, s[0], s[1])
        put(0x29, "\\", "|"); put(0x1A, "\u00e8", "\u00e9", "[", "{"); put(0x1B, "+", "*", "]", "}")
        put(0x27, "\u00f2", "\u00e7", "@"); put(0x28, "\u00e0", "\u00b0", "#"); put(0x2B, "\u00f9", "\u00a7")
        put(0x56, "<", ">"); put(0x33, ",", ";"); put(0x34, ".", ":"); put(0x35, "-", "_")
    elif lang == "SP":
        digits = [("1", "!", "|"), ("2", '"', "@"), ("3", "\u00b7", "#"), ("4", "$"), ("5", "%"), ("6", "&", "\u00ac"),
                  ("7", "/"), ("8", "("), ("9", ")"), ("0", "="), ("'", "?"), ("\u00a1", "\u00bf")]
        for k, s in zip(range(0x02, 0x0E), digits):
            put(k, *s)
        put(0x29, "\u00ba", "\u00aa", "\\"); put(0x1A, D, D, "["); put(0x1B, "+", "*", "]")
        put(0x27, "\u00f1", "\u00d1"); put(0x28, D, D, "{"); put(0x2B, "\u00e7", "\u00c7", "}"); put(0x56, "<", ">")
        put(0x33, ",", ";"); put(0x34, ".", ":"); put(0x35, "-", "_")
    return rows


def cp850(ch):
    try:
        b = ch.encode("cp850")
    except UnicodeEncodeError:
        return None
    return b[0] if len(b) == 1 else None


PLAIN_LETTERS = {"SP": set("\u00f1\u00d1\u00e7\u00c7"), "FR": set("\u00e9\u00e8\u00e7\u00e0\u00f9")}
SWISS_CAPS = {"SG": {"\u00c4": 0x0928, "\u00d6": 0x0927, "\u00dc": 0x091A, "\u00c0": 0x0A28, "\u00c9": 0x0A27, "\u00c8": 0x0A1A},
              "SF": {"\u00c0": 0x0928, "\u00c9": 0x0927, "\u00c8": 0x091A, "\u00c4": 0x0A28, "\u00d6": 0x0A27, "\u00dc": 0x0A1A}}


def table(lang):
    values = [0] * 256
    rows = layout(lang)

    def set_value(ch, value):
        code = cp850(ch)
        if code is not None and values[code] == 0:
            values[code] = value

    # Keys and their levels.
    key_of = {}
    for key, levels in sorted(rows.items()):
        levels = list(levels) + [None] * (4 - len(levels))
        l1, l2, l3, l4 = levels
        for level, ch in ((1, l1), (2, l2), (3, l3), (4, l4)):
            if ch is None:
                continue
            key_of.setdefault(ch, key)
            shift = {1: 1, 2: 2, 3: 5, 4: 12}[level]
            is_pair = l1 is not None and l2 is not None and l1.lower() == l1 and l2 == l1.upper() and l1 != l2
            if is_pair and lang not in PLAIN_LETTERS or (is_pair and ch not in PLAIN_LETTERS.get(lang, ())):
                if level == 1:
                    shift = 6
                elif level == 2:
                    shift = 7
            set_value(ch, shift << 8 | key)
    for ch, v in SWISS_CAPS.get(lang, {}).items():
        set_value(ch, v)
    # Control characters: Ctrl with the letter's key, and the fixed keys.
    for n in range(1, 27):
        k = key_of.get(chr(0x60 + n))
        if k:
            values[n] = 0x0300 | k
    values[0] = 0x0303  # Ctrl+2
    for n, ch in zip(range(0x1B, 0x20), "[\\]6-"):
        k = key_of.get(ch)
        if k:
            values[n] = 0x0300 | k
    values[0x08], values[0x09], values[0x0D], values[0x7F] = 0x010E, 0x010F, 0x011C, 0x030E
    # Characters of dead-key compositions and spacing accents.
    dead = DEAD[lang]
    for code in range(0x80, 0x100):
        if values[code]:
            continue
        ch = bytes([code]).decode("cp850")
        nfd = unicodedata.normalize("NFD", ch)
        if len(nfd) == 2 and nfd[1] in dead and values[cp850(nfd[0]) or 0] and nfd[0].isalpha():
            base_value = values[cp850(nfd[0])]
            if (base_value >> 8) in (6, 7):
                values[code] = dead[nfd[1]] << 12 | base_value
    for mark, index in dead.items():
        code = cp850(SPACING[mark])
        if code is not None and values[code] == 0:
            values[code] = index << 12 | 0x0139
    return values


def main():
    out = ["// Generated by compiler/gen/make_chartables.py: the character tables of the keyboard",
           "// languages, indexed by the code page 850 character. Do not edit; change the generator.",
           '#include "compiler/chartables.h"', "", "namespace compiler {", "",
           "const std::uint16_t kCharTables[8][256] = {"]
    for lang in LANGS:
        vals = table(lang)
        out.append(f"    // {lang}")
        out.append("    {")
        for i in range(0, 256, 8):
            out.append("        " + " ".join(f"0x{v:04X}," for v in vals[i:i + 8]) + f"  // {i:02X}")
        out.append("    },")
    out.append("};")
    out.append("")
    out.append("const std::uint8_t kDeadKeyTables[8][8][3] = {")
    for lang in LANGS:
        entries = []
        for idx in range(8):
            e = DEADKEY_TABLES[lang].get(idx, [])
            e = e + [0] * (3 - len(e))
            entries.append("{" + ", ".join(f"0x{b:02X}" for b in e) + "}")
        out.append(f"    {{{', '.join(entries)}}},  // {lang}")
    out.append("};")
    out.append("")
    out.append("}  // namespace compiler")
    open("compiler/chartables.cpp", "w").write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
