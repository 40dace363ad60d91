#!/usr/bin/python3
"""A real SMTP server for the SMTP client's tests, built on aiosmtpd.

Usage: smtp_server.py CONFIG_JSON [TIME_LIMIT_SECONDS]
CONFIG_JSON is an object:
  "mode"     "plain" (default), "starttls" (STARTTLS offered and required before mail) or "tls"
             (TLS from the start of the connection)
  "cert", "key"  PEM files for the two TLS modes
  "users"    {"name": "password", ...}: AUTH PLAIN, LOGIN and CRAM-MD5 accept these (none: no AUTH)
  "exclude"  mechanisms not offered, e.g. ["CRAM-MD5"]
  "refuse"   recipient addresses answered "550 5.1.1 Recipient address rejected"
  "out"      file that receives, per accepted message, lines "key<TAB>value" ended by a line
             "--": the envelope, the count of AUTH successes so far, and what Python's email
             package reads from the data (the header names in order, X-Mailer, the To header's
             mailboxes as to_addr_specs, the From header's display names and its count of
             defects as from_names and from_defects, part.N.type, .size, .filename, .text; CR
             and LF in values as \r and \n)
  "save"     folder that receives each accepted message N (from 1) as N.eml, the data as it
             arrived, and N.json, its envelope: {"mail_from", "rcpt_tos", "auth_count", "tls"}
  "size_limit"  the largest message taken, in bytes; 0 for no limit (default: aiosmtpd's 32 MiB)
  "hold"     {"RSET": file, "DATA": file}: while the file exists, the server holds the client
             there: it does not answer RSET, or reads nothing after its 354 reply to DATA (so the
             client stays in the middle of its message); deleting the file lets it go on
Listens on 127.0.0.1 (a free port, printed as the first line of standard output) and serves
until the time limit (default 30 s) or until it is ended.
"""
import asyncio
import email
import email.policy
import hmac
import json
import os
import ssl
import sys
import warnings

warnings.simplefilter("ignore")

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

config = json.loads(sys.argv[1])
users = {k.encode(): v.encode() for k, v in config.get("users", {}).items()}
auth_count = 0


def authenticator(server, session, envelope, mechanism, auth_data):
    global auth_count
    ok = isinstance(auth_data, LoginPassword) and users.get(auth_data.login) == auth_data.password
    if ok:
        auth_count += 1
        return AuthResult(success=True, auth_data=auth_data)
    return AuthResult(success=False, handled=False)


def rows(envelope):
    message = email.message_from_bytes(envelope.original_content, policy=email.policy.default)
    out = [("mail_from", envelope.mail_from), ("rcpt_tos", ",".join(envelope.rcpt_tos)),
           ("auth_count", auth_count), ("subject", message.get("Subject", "")),
           ("from", message.get("From", "")), ("to", message.get("To", "")),
           ("to_addr_specs", ",".join(a.addr_spec for a in getattr(message["To"], "addresses", ()))),
           ("from_names", ",".join(a.display_name for a in getattr(message["From"], "addresses", ()))),
           ("from_defects", len(getattr(message["From"], "defects", ()))),
           ("message_id", message.get("Message-ID", "")), ("defects", len(message.defects)),
           ("headers", ",".join(message.keys())), ("x_mailer", message.get("X-Mailer", "")),
           ("size", len(envelope.original_content))]
    index = 0
    for part in message.walk():
        if part.is_multipart():
            continue
        payload = part.get_payload(decode=True) or b""
        out += [("part.%d.type" % index, part.get_content_type()), ("part.%d.size" % index, len(payload))]
        if part.get_filename():
            out.append(("part.%d.filename" % index, part.get_filename()))
        if part.get_content_maintype() == "text":
            out.append(("part.%d.text" % index,
                        payload.decode(part.get_content_charset() or "latin-1", "replace")))
        index += 1
    return "".join("%s\t%s\n" % (key, str(value).replace("\r", "\\r").replace("\n", "\\n"))
                   for key, value in out) + "--\n"


class Handler:
    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address in config.get("refuse", []):
            return "550 5.1.1 Recipient address rejected"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        if "save" in config:
            self.saved = getattr(self, "saved", 0) + 1
            base = os.path.join(config["save"], str(self.saved))
            with open(base + ".eml", "wb") as out:
                out.write(envelope.original_content)
            with open(base + ".json", "w", encoding="utf-8") as out:
                json.dump({"mail_from": envelope.mail_from, "rcpt_tos": envelope.rcpt_tos,
                           "auth_count": auth_count, "tls": bool(session.ssl)}, out)
        if "out" in config:
            with open(config["out"], "a", encoding="utf-8") as out:
                out.write(rows(envelope))
        return "250 Message accepted for delivery"

    async def auth_CRAM__MD5(self, server, args):
        global auth_count
        challenge = b"<1896.697170952@velmora.test>"
        answer = await server.challenge_auth(challenge)
        if not isinstance(answer, bytes) or b" " not in answer:
            return AuthResult(success=False, handled=False)
        login, digest = answer.rsplit(b" ", 1)
        password = users.get(login)
        if password is None:
            return AuthResult(success=False, handled=False)
        expected = hmac.new(password, challenge, "md5").hexdigest().encode()
        if not hmac.compare_digest(expected, digest):
            return AuthResult(success=False, handled=False)
        auth_count += 1
        return AuthResult(success=True, auth_data=LoginPassword(login, password))


class HoldingSMTP(SMTP):
    async def smtp_RSET(self, arg):
        path = config.get("hold", {}).get("RSET")
        while path and os.path.exists(path):
            await asyncio.sleep(0.01)
        await super().smtp_RSET(arg)

    async def smtp_DATA(self, arg):
        path = config.get("hold", {}).get("DATA")
        if path and os.path.exists(path) and self.transport is not None:
            self.transport.pause_reading()
            self.resume = asyncio.get_running_loop().create_task(self.resume_when_gone(path))
        await super().smtp_DATA(arg)

    async def resume_when_gone(self, path):
        while os.path.exists(path):
            await asyncio.sleep(0.01)
        if self.transport is not None:
            self.transport.resume_reading()


async def main():
    mode = config.get("mode", "plain")
    context = None
    if mode in ("starttls", "tls"):
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(config["cert"], config["key"])
    options = dict(hostname="velmora.test", authenticator=authenticator,
                   auth_exclude_mechanism=config.get("exclude", []),
                   auth_require_tls=False)
    if "size_limit" in config:
        options["data_size_limit"] = config["size_limit"] or None
    if not users:
        options["auth_exclude_mechanism"] = ["PLAIN", "LOGIN", "CRAM-MD5"]
    if mode == "starttls":
        options.update(tls_context=context, require_starttls=True, auth_require_tls=True)
    loop = asyncio.get_running_loop()
    handler = Handler()  # one for all connections: saved messages are numbered across them
    server = await loop.create_server(lambda: HoldingSMTP(handler, **options), "127.0.0.1", 0,
                                      ssl=context if mode == "tls" else None)
    print(server.sockets[0].getsockname()[1], flush=True)
    await asyncio.sleep(float(sys.argv[2]) if len(sys.argv) > 2 else 30.0)
    server.close()


asyncio.run(main())
