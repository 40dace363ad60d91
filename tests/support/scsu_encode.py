#!/usr/bin/python3
"""scsu_encode.py: a small encoder of the Standard Compression Scheme for Unicode (Unicode
Technical Standard #6), written apart from the product's decoder so that tests can check the
decoder against streams it did not make.

Usage: scsu_encode.py HEX...   each argument is a text as hexadecimal UTF-8 bytes; prints one line
per argument: the compressed bytes in hexadecimal (no masking).

The encoder makes its own choices: ASCII directly; C0 controls quoted from static window 0;
characters of a defined dynamic window by switching to it when the next character is in it too,
else by quoting; a lone character of a static window by quoting it; other small-alphabet characters by defining a window (least recently used);
supplementary characters through an extended window; and everything else (ideographs, Hangul)
in Unicode mode, back to single-byte mode at the next ASCII character.
"""
import sys

STATIC = [0x0000, 0x0080, 0x0100, 0x0300, 0x2000, 0x2080, 0x2100, 0x3000]
INITIAL = [0x0080, 0x00C0, 0x0400, 0x0600, 0x0900, 0x3040, 0x30A0, 0xFF00]

SQ0, SDX, SQU, SCU, SC0, SD0 = 0x01, 0x0B, 0x0E, 0x0F, 0x10, 0x18
UC0, UQU = 0xE0, 0xF0


def in_window(offset, cp):
    return offset <= cp < offset + 0x80


def define_argument(cp):
    """The window-definition byte and offset for cp, or None when no small window holds it."""
    if 0x0080 <= cp < 0x3400:
        return cp >> 7, (cp >> 7) << 7
    if 0xE000 <= cp < 0x10000:
        x = (cp - 0xAC00) >> 7
        return x, x * 0x80 + 0xAC00
    return None


def encode(text):
    out = bytearray()
    windows = list(INITIAL)
    active = 0
    unicode_mode = False
    lru = list(range(8))  # least recently used first

    def use(n):
        lru.remove(n)
        lru.append(n)

    cps = [ord(c) for c in text]
    for i, cp in enumerate(cps):
        nxt = cps[i + 1] if i + 1 < len(cps) else None
        if unicode_mode:
            if cp < 0x80:
                out.append(UC0 + active)
                unicode_mode = False
            else:
                units = [cp] if cp < 0x10000 else [0xD800 + ((cp - 0x10000) >> 10), 0xDC00 + ((cp - 0x10000) & 0x3FF)]
                for u in units:
                    if 0xE0 <= (u >> 8) <= 0xF2:
                        out.append(UQU)
                    out += bytes([u >> 8, u & 0xFF])
                continue
        if cp < 0x80:
            if cp >= 0x20 or cp in (0x00, 0x09, 0x0A, 0x0D):
                out.append(cp)
            else:
                out += bytes([SQ0, cp])
            continue
        if in_window(windows[active], cp):
            out.append(0x80 + cp - windows[active])
            use(active)
            continue
        hit = next((n for n in range(8) if in_window(windows[n], cp)), None)
        if hit is not None:
            if nxt is not None and in_window(windows[hit], nxt):
                out += bytes([SC0 + hit, 0x80 + cp - windows[hit]])
                active = hit
            else:
                out += bytes([SQ0 + hit, 0x80 + cp - windows[hit]])
            use(hit)
            continue
        if cp >= 0x10000:
            n = lru[0]
            value = (cp - 0x10000) >> 7
            windows[n] = 0x10000 + (value << 7)
            out += bytes([SDX, (n << 5) | (value >> 8), value & 0xFF, 0x80 + cp - windows[n]])
            active = n
            use(n)
            continue
        quoted = next((n for n in range(1, 8) if in_window(STATIC[n], cp)), None)
        if quoted is not None and not (nxt is not None and in_window(STATIC[quoted], nxt)):
            out += bytes([SQ0 + quoted, cp - STATIC[quoted]])
            continue
        arg = define_argument(cp)
        if arg is not None:
            n = lru[0]
            windows[n] = arg[1]
            out += bytes([SD0 + n, arg[0], 0x80 + cp - windows[n]])
            active = n
            use(n)
            continue
        out.append(SCU)
        unicode_mode = True
        if 0xE0 <= (cp >> 8) <= 0xF2:
            out.append(UQU)
        out += bytes([cp >> 8, cp & 0xFF])
    return bytes(out)


if __name__ == "__main__":
    for arg in sys.argv[1:]:
        print(encode(bytes.fromhex(arg).decode("utf-8")).hex())
