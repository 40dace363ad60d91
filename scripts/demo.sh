#!/usr/bin/env bash
# demo.sh: the main job, end to end. Starts a local SMTP server (aiosmtpd, on a free 127.0.0.1
# port), sets the plug-in up through velmora-host's Configure calls in private preference and
# temporary folders, sends one message with SendMessage (a two-line non-ASCII body, an .html page
# attached by its path, an embedded container holding a PNG picture), and prints what arrived as
# Python's email package reads it. Exits non-zero when anything arrived other than as sent, or
# nothing arrived. Builds in build/ first when velmora-host is not there (VELMORA_BUILD_DIR picks
# another build folder). Leaves nothing behind.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
build="${VELMORA_BUILD_DIR:-build}"
host="$build/host/velmora-host"
if [ ! -x "$host" ] || [ ! -e "$build/Velmora.bundle/Velmora" ]; then
  ./scripts/build.sh "$build" >/dev/null
fi
python=/usr/bin/python3

work="$(mktemp -d "${TMPDIR:-/tmp}/velmora-demo-XXXXXX")"
server_pid=""
cleanup() {
  local status=$?
  if [ -n "$server_pid" ]; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT
mkdir -p "$work/config" "$work/tmp" "$work/saved"

# What is sent: a page attached by its path and a picture in a container field.
printf '<!DOCTYPE html>\n<html><head><meta charset="utf-8"><title>Velmora</title></head>\n<body><p>Gr\xc3\xbc\xc3\x9fe aus K\xc3\xb6ln!</p></body></html>\n' \
  > "$work/page.html"
"$python" - "$work/logo.png" <<'PY'
import struct, sys, zlib
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
rows = b"".join(b"\0" + b"".join(bytes((x * 16, y * 16, 128)) for x in range(16)) for y in range(16))
png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 16, 16, 8, 2, 0, 0, 0)) + \
      chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b"")
open(sys.argv[1], "wb").write(png)
PY

# The server: aiosmtpd, keeping each message it takes; its port is its first line.
"$python" tools/peer/smtp_server.py "{\"save\": \"$work/saved\"}" 120 > "$work/server.out" &
server_pid=$!
port=""
for _ in $(seq 100); do
  port="$(head -n 1 "$work/server.out" 2>/dev/null || true)"
  [ -n "$port" ] && break
  sleep 0.1
done
if [ -z "$port" ]; then
  echo "demo: the SMTP server did not start" >&2
  exit 1
fi
echo "== aiosmtpd listening on 127.0.0.1:$port"

subject='Gr\xC3\xBC\xC3\x9Fe aus K\xC3\xB6ln'
line1='Sch\xC3\xB6ne Gr\xC3\xBC\xC3\x9Fe, Andr\xC3\xA9!'
line2='Der Bericht \xC2\xBBM\xC3\xA4rz\xC2\xAB liegt bei.'
subject="$(printf "$subject")"; line1="$(printf "$line1")"; line2="$(printf "$line2")"
pilcrow="$(printf '\xC2\xB6')"

echo "== velmora-host"
export XDG_CONFIG_HOME="$work/config" TMPDIR="$work/tmp" VELMORA_NO_BROWSER=1
"$host" --progress 2>&1 \
  'Velmora_Configure( "Set" ; "Host" ; "127.0.0.1" )' \
  "Velmora_Configure( \"Set\" ; \"Port\" ; \"$port\" )" \
  'Velmora_Configure( "Set" ; "From" ; "Velmora Demo <demo@example.test>" )' \
  'Velmora_Configure( "Set" ; "ContentTypes" ; ".html=text/html" )' \
  "Velmora_SendMessage( \"reader@example.test\" ; \"$subject\" ; \"$line1$pilcrow$line2\" ; \"$work/page.html\" ; Container( \"$work/logo.png\" ) )"

cat > "$work/expect.json" <<JSON
{"mail_from": "demo@example.test", "rcpt_tos": ["reader@example.test"], "tls": false,
 "headers": {"From": "Velmora Demo <demo@example.test>", "To": "reader@example.test", "Subject": "$subject"},
 "text": ["$line1", "$line2"],
 "attachments": [{"name": "page.html", "type": "text/html", "file": "$work/page.html"},
                 {"name": "logo.png", "type": "image/png", "file": "$work/logo.png"}]}
JSON
echo "== what arrived"
"$python" tools/demo/received.py "$work/saved" 1 "$work/expect.json"
