#!/usr/bin/env bash
# postfix-sink.sh CACHE_DIR [smtp-sink arguments...]: runs postfix's smtp-sink, the peer SMTP
# benchmarks send to, with the arguments given (e.g. -c 127.0.0.1:2525 64). The program comes
# from Debian's postfix package, fetched once with apt-get download and unpacked with dpkg -x
# into CACHE_DIR/postfix (nothing is installed); it runs with its own libraries
# (LD_LIBRARY_PATH at usr/lib/postfix) and, when started as root, as the user nobody.
# With no arguments it only fetches. Exit status 3 when the package cannot be had (no network,
# no apt-get): callers then use another sink.
set -euo pipefail
cache="${1:?usage: postfix-sink.sh CACHE_DIR [smtp-sink arguments...]}"
shift
root="$cache/postfix"
sink="$root/usr/sbin/smtp-sink"
if [ ! -x "$sink" ]; then
  mkdir -p "$cache"
  rm -f "$cache"/postfix_*.deb
  if ! (cd "$cache" && timeout 300 apt-get download postfix >/dev/null 2>&1) ||
     ! deb="$(ls "$cache"/postfix_*.deb 2>/dev/null | head -n 1)" || [ -z "$deb" ] ||
     ! dpkg -x "$deb" "$root" || [ ! -x "$sink" ]; then
    echo "postfix-sink.sh: cannot fetch postfix's smtp-sink" >&2
    exit 3
  fi
  rm -f "$deb"
fi
[ $# -gt 0 ] || exit 0
user=()
[ "$(id -u)" = 0 ] && user=(-u nobody)
export LD_LIBRARY_PATH="$root/usr/lib/postfix${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
exec "$sink" "${user[@]}" "$@"
