#!/usr/bin/python3
"""received: a message that tools/peer/smtp_server.py saved, as Python's email package reads it,
compared with what was sent.

Usage: received.py SAVED_FOLDER N EXPECT_JSON
Prints message N (N.eml and N.json in SAVED_FOLDER): the envelope, the header fields decoded,
the part tree (content type, charset, transfer encoding, disposition, file name, size after
decoding, SHA-256 of attachments) and each text part decoded, line by line. Then it compares
with EXPECT_JSON and prints every difference, exiting 1 when there is one (2 when the message
cannot be read):
  {"mail_from": "...", "rcpt_tos": ["..."], "tls": false,
   "headers": {"Subject": "...", "From": "...", "To": "..."},
   "text": ["line", ...],                         the lines of the first text/plain part
   "attachments": [{"name": "...", "type": "...", "file": "PATH"}, ...]}   in order
Keys left out are not compared. Standard library only; run by Debian's /usr/bin/python3.
"""
import email
import email.policy
import hashlib
import json
import os
import sys


def attachments(message):
    found = []
    for part in message.walk():
        if part.is_multipart() or (part.get_filename() is None and part.get_content_disposition() != "attachment"):
            continue
        data = part.get_payload(decode=True) or b""
        found.append({"name": part.get_filename(), "type": part.get_content_type(), "size": len(data),
                      "sha256": hashlib.sha256(data).hexdigest()})
    return found


def first_text(message):
    for part in message.walk():
        if part.get_content_type() == "text/plain" and part.get_content_disposition() != "attachment":
            lines = part.get_content().replace("\r\n", "\n").split("\n")
            while lines and lines[-1] == "":
                lines.pop()
            return lines
    return None


def report(meta, message):
    print("envelope: MAIL FROM:<%s>  RCPT TO:%s  TLS: %s" % (
        meta["mail_from"], " ".join("<%s>" % r for r in meta["rcpt_tos"]), "yes" if meta.get("tls") else "no"))
    print("header fields:")
    for key, value in message.items():
        print("  %s: %s" % (key, value))
    print("part tree:")

    def tree(part, depth):
        line = "  " * (depth + 1) + part.get_content_type()
        if part.is_multipart():
            print(line)
            for sub in part.iter_parts():
                tree(sub, depth + 1)
            return
        data = part.get_payload(decode=True) or b""
        details = []
        if part.get_content_charset():
            details.append("charset " + part.get_content_charset())
        if part["Content-Transfer-Encoding"]:
            details.append(str(part["Content-Transfer-Encoding"]).strip())
        if part.get_content_disposition():
            details.append(part.get_content_disposition())
        if part.get_filename():
            details.append('file name "%s"' % part.get_filename())
            details.append("sha256 " + hashlib.sha256(data).hexdigest()[:16] + "...")
        details.append("%d bytes" % len(data))
        print(line + " (" + ", ".join(details) + ")")

    tree(message, 0)
    for part in message.walk():
        if part.get_content_type() == "text/plain" and part.get_content_disposition() != "attachment":
            print("text of the text/plain part:")
            for text_line in part.get_content().replace("\r\n", "\n").rstrip("\n").split("\n"):
                print("  | " + text_line)


def compare(meta, message, expect):
    differences = []

    def check(what, want, got):
        if want != got:
            differences.append("%s: sent %r, arrived %r" % (what, want, got))

    for key in ("mail_from", "rcpt_tos", "tls"):
        if key in expect:
            check(key, expect[key], meta.get(key))
    for key, value in expect.get("headers", {}).items():
        check("header " + key, value, message.get(key))
    if "text" in expect:
        check("text", expect["text"], first_text(message))
    if "attachments" in expect:
        got = attachments(message)
        check("number of attachments", len(expect["attachments"]), len(got))
        for want, have in zip(expect["attachments"], got):
            check("attachment name", want["name"], have["name"])
            if "type" in want:
                check("type of " + want["name"], want["type"], have["type"])
            if "file" in want:
                with open(want["file"], "rb") as f:
                    data = f.read()
                check("size of " + want["name"], len(data), have["size"])
                check("SHA-256 of " + want["name"], hashlib.sha256(data).hexdigest(), have["sha256"])
    if message.defects:
        differences.append("the message has defects: %s" % ", ".join(type(d).__name__ for d in message.defects))
    return differences


def main():
    if len(sys.argv) != 4:
        print(__doc__, file=sys.stderr)
        return 2
    base = os.path.join(sys.argv[1], sys.argv[2])
    try:
        with open(base + ".json", encoding="utf-8") as f:
            meta = json.load(f)
        with open(base + ".eml", "rb") as f:
            message = email.message_from_binary_file(f, policy=email.policy.default)
        with open(sys.argv[3], encoding="utf-8") as f:
            expect = json.load(f)
    except (OSError, ValueError) as problem:
        print("received: cannot read message %s: %s" % (base, problem), file=sys.stderr)
        return 2
    report(meta, message)
    differences = compare(meta, message, expect)
    for difference in differences:
        print("DIFFERENCE: " + difference)
    if differences:
        return 1
    print("Everything arrived as sent: envelope, header fields, text and attachments.")
    return 0


if __name__ == "__main__":
    sys.exit(main())
