#!/usr/bin/python3
"""mimecheck: an independent reading of what the message writer produces, for the tests.

Run by Debian's /usr/bin/python3; uses only the standard library (email, quopri, codecs).

  mimecheck.py message FILE [--data]   parse a message (or one part: header lines, an empty
                                       line, the body) with email's default policy and print
                                       what a mail reader sees. With --data the file holds the
                                       lines of an SMTP DATA phase (CR LF each, up to "."): the
                                       line lengths and bare CR or LF are reported and the
                                       dots are unstuffed as a server does. Further DATA
                                       phases may follow; their keys begin "N/".
                                       A part's "rawlongest" is the longest line of its body as
                                       it stands, before its transfer encoding is undone.
  mimecheck.py words FILE              each record decoded as a header value (RFC 2047 words)
  mimecheck.py qp FILE [--header]      each record decoded as quoted-printable (or "Q" form)
  mimecheck.py encode CODEC FILE       each record (UTF-8 text) encoded with a Python codec
                                       ("nfkc:" before the codec name normalises first;
                                       "-" reads each record as the codec, a blank, the text)
  mimecheck.py decode CODEC FILE       each record (bytes) decoded with a Python codec

Records in and values out are one a line, escaped: a backslash as two, every byte outside
printable ASCII as \\xHH. Output lines are "key<TAB>value". A record that fails prints
"!error<TAB>" and the reason.
"""
import email
import email.header
import email.policy
import quopri
import re
import sys
import unicodedata


PLAIN = re.compile(rb"[\x20-\x5b\x5d-\x7e]*")


def esc(data):
    if isinstance(data, str):
        data = data.encode("utf-8", "surrogateescape")
    if PLAIN.fullmatch(data):
        return data.decode("ascii")
    out = []
    for b in data:
        if b == 0x5C:
            out.append("\\\\")
        elif 0x20 <= b < 0x7F:
            out.append(chr(b))
        else:
            out.append("\\x%02x" % b)
    return "".join(out)


def unesc(text):
    out = bytearray()
    i = 0
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            if text[i + 1] == "\\":
                out.append(0x5C)
                i += 2
                continue
            if text[i + 1] == "x":
                out.append(int(text[i + 2:i + 4], 16))
                i += 4
                continue
        out.extend(c.encode("utf-8"))
        i += 1
    return bytes(out)


PREFIX = ""


def emit(key, value):
    sys.stdout.write(PREFIX + key + "\t" + esc(value) + "\n")


def records(path):
    with open(path, "r", encoding="ascii") as f:
        for line in f.read().split("\n"):
            if line:
                yield unesc(line)


def unflow(text, delsp):
    """RFC 3676: joins soft-broken lines; quote depth is not used by the writer."""
    lines = text.split("\n")
    ended = bool(lines) and lines[-1] == ""
    if ended:
        lines.pop()
    out, current, open_line = [], "", False
    for line in lines:
        if line.startswith(" "):
            line = line[1:]  # space-stuffing
        soft = line.endswith(" ") and line != "-- "
        if soft and delsp:
            line = line[:-1]
        current += line
        if soft:
            open_line = True
            continue
        out.append(current)
        current, open_line = "", False
    if open_line:
        out.append(current)
    return "\n".join(out) + ("\n" if ended else "")


def read_data(raw):
    """The DATA lines: lengths, bare line ends, the end line and dot-unstuffing. Returns the
    message and what follows its end line."""
    longest, bare, ended, body = 0, 0, False, []
    rest = b""
    start = 0
    while start < len(raw):
        end = raw.find(b"\r\n", start)
        if end < 0:
            end = len(raw)
        piece = raw[start:end]
        start = end + 2
        longest = max(longest, len(piece))
        bare += piece.count(b"\r") + piece.count(b"\n")
        if piece == b".":
            ended = True
            rest = raw[start:]
            break
        if piece.startswith(b"."):
            piece = piece[1:]
        body.append(piece)
    emit("wire.longest", str(longest))
    emit("wire.bare", str(bare))
    emit("wire.end", "1" if ended else "0")
    return b"\r\n".join(body) + b"\r\n", rest


def parse(raw):
    msg = email.message_from_bytes(raw, policy=email.policy.default)
    defects = []
    for index, part in enumerate(msg.walk()):
        key = str(index)
        defects += [type(d).__name__ for d in part.defects]
        emit(key + ".type", part.get_content_type())
        seen = {}
        for name, value in part.items():
            lower = name.lower()
            seen[lower] = seen.get(lower, 0) + 1
            suffix = "" if seen[lower] == 1 else "#%d" % seen[lower]
            emit(key + ".h." + lower + suffix, str(value))
            defects += [type(d).__name__ for d in getattr(value, "defects", ())]
        if part.get_filename() is not None:
            emit(key + ".filename", part.get_filename())
        if part.is_multipart():
            continue
        raw = part.get_payload(decode=False)
        if isinstance(raw, str):
            emit(key + ".rawlongest", str(max(len(l) for l in raw.replace("\r\n", "\n").split("\n"))))
        if part.get_content_maintype() == "text":
            text = part.get_content().replace("\r\n", "\n")
            emit(key + ".text", text)
            if part.get_param("format", "").lower() == "flowed":
                delsp = part.get_param("delsp", "").lower() == "yes"
                emit(key + ".unflowed", unflow(text, delsp))
        else:
            emit(key + ".hex", part.get_content().hex())
    emit("defects", ",".join(defects))


def message(path, data):
    """One message, or with --data one DATA phase after another; the keys of the second and
    later ones begin with their number and a slash."""
    global PREFIX
    with open(path, "rb") as f:
        raw = f.read()
    if not data:
        parse(raw)
        return
    number = 0
    while True:
        PREFIX = "" if number == 0 else "%d/" % number
        body, raw = read_data(raw)
        parse(body)
        if not raw:
            break
        number += 1
    PREFIX = ""


def words(path):
    for record in records(path):
        try:
            text = str(email.header.make_header(email.header.decode_header(record.decode("latin-1"))))
            emit("text", text)
        except Exception as e:  # noqa: BLE001 - the reason is the answer
            emit("!error", repr(e))


def qp(path, header):
    for record in records(path):
        emit("bytes", quopri.decodestring(record, header=header))


def encode(codec_arg, path):
    for record in records(path):
        codec = codec_arg
        if codec == "-":
            codec, _, record = record.partition(b" ")
            codec = codec.decode("ascii")
        normalise = codec.startswith("nfkc:")
        if normalise:
            codec = codec[5:]
        try:
            text = record.decode("utf-8", "surrogatepass")
            if normalise:
                text = unicodedata.normalize("NFKC", text)
            emit("bytes", text.encode(codec))
        except Exception as e:  # noqa: BLE001
            emit("!error", repr(e))


def decode(codec, path):
    for record in records(path):
        try:
            emit("text", record.decode(codec))
        except Exception as e:  # noqa: BLE001
            emit("!error", repr(e))


def main(argv):
    if len(argv) >= 3 and argv[1] == "message":
        message(argv[2], "--data" in argv[3:])
    elif len(argv) >= 3 and argv[1] == "words":
        words(argv[2])
    elif len(argv) >= 3 and argv[1] == "qp":
        qp(argv[2], "--header" in argv[3:])
    elif len(argv) >= 4 and argv[1] == "encode":
        encode(argv[2], argv[3])
    elif len(argv) >= 4 and argv[1] == "decode":
        decode(argv[2], argv[3])
    else:
        sys.stderr.write(__doc__)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
