#!/usr/bin/env bash
# Installs the build into a temporary prefix, builds the consumer program
# against it with find_package(Zerth), and runs it from its own folder.
set -euo pipefail
build_dir=$1
consumer_src=$2
smtp_env=$3   # server.env of the SMTP test server
http_env=$4   # server.env of nginx and tinyproxy
ftp_namespace=$5  # runs a program in a network namespace with an FTP server on port 21

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build_dir" --prefix "$work/prefix" > "$work/install.log"
# The installed tree is relocatable: move it before anything uses it.
mv "$work/prefix" "$work/moved"
# The installed library exports its public classes (those its headers mark
# ZERTH_API) and nothing else of its own: no internal class, no instantiation
# of another library's template. The standard library's shared template
# instantiations and the linker's symbols may be there.
public=$(sed -n 's/^class ZERTH_API \([A-Za-z0-9_]*\).*/\1/p' "$work/moved/include/zerth/"*.h | paste -sd'|')
library=$(find "$work/moved" -name libzerth.so -print -quit)
symbols=$(nm -D --defined-only -C "${library:?libzerth.so not installed}" | cut -d' ' -f3-)
leaks=$(echo "$symbols" |
  grep -vE "^((typeinfo|typeinfo name|vtable|guard variable) for |(virtual|non-virtual) thunk to )?($public)(::|\$)" |
  grep -vE '^([^ (]+ )?std::|^(__bss_start|_edata|_end)$' || true)
if [ -z "$public" ] || [ -n "$leaks" ]; then
  echo "libzerth.so exports more than its public classes (${public:-none found}):" >&2
  echo "$leaks" >&2
  exit 1
fi

cmake -S "$consumer_src" -B "$work/build" -G Ninja -DCMAKE_PREFIX_PATH="$work/moved" > "$work/configure.log"
cmake --build "$work/build" > "$work/build.log"

mkdir -p "$work/config" "$work/data"
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
# The provider is found on the executable search path, beside the installed program.
PATH="$work/moved/bin:$PATH" "$work/build/consumer" "ann@example.org"

shopt -s nullglob
messages=("$work/data/zerth/Outbox/new/"*)
if [ ${#messages[@]} -ne 1 ]; then
  echo "expected one message in the outbox, found ${#messages[@]}" >&2
  exit 1
fi
grep -q '^To: ann@example.org' "${messages[0]}" || { echo "no To header:" >&2; cat "${messages[0]}" >&2; exit 1; }
grep -q '^Subject: Hello from a Zerth consumer' "${messages[0]}"
echo "installed package: one message delivered to the outbox"

# A multipart message with an attachment through CSMTP to the real SMTP
# server; the attachment must arrive with the file's bytes.
. "$smtp_env"
head -c 70001 /dev/urandom > "$work/attachment.bin"
rcpt="consumer.$$@example.org"
"$work/build/mime_consumer" "$SMTP_HOST" "$SMTP_PLAIN_PORT" "$rcpt" "$work/attachment.bin"
received=("$SMTP_SPOOL/$rcpt/"*.eml)
if [ ${#received[@]} -ne 1 ]; then
  echo "expected one message at the SMTP server, found ${#received[@]}" >&2
  exit 1
fi
/usr/bin/python3 - "${received[0]}" "$work/arrived.bin" <<'PY'
import email, email.policy, sys
msg = email.message_from_binary_file(open(sys.argv[1], "rb"), policy=email.policy.default)
parts = list(msg.iter_attachments())
assert len(parts) == 1, f"{len(parts)} attachments"
open(sys.argv[2], "wb").write(parts[0].get_payload(decode=True))
PY
cmp "$work/attachment.bin" "$work/arrived.bin"
echo "installed package: the attachment arrived intact through SMTP"

# Files over FTP in active and passive mode, in a network namespace of their
# own with a real FTP server on port 21.
"$ftp_namespace" "$work/build/ftp_consumer" 127.0.0.1 ann secret

# A page from nginx, directly and through tinyproxy.
. "$http_env"
"$work/build/http_consumer" 127.0.0.1 "$HTTP_PORT" /plain.txt 127.0.0.1 "$PROXY_PORT" "Second line"

# A compound file that libgsf and olefile read as written.
"$work/build/storage_consumer" "$work/consumer.cfb" > "$work/storage.out"
gsf list "$work/consumer.cfb" | grep -q Numbers
/usr/bin/python3 - "$work/consumer.cfb" <<'PY'
import olefile, sys
ole = olefile.OleFileIO(sys.argv[1])
assert ole.exists("Readme") and ole.exists("Data/Numbers"), ole.listdir()
PY
echo "installed package: a compound file libgsf and olefile read"

# Digests as md5sum makes them, a registry value, the machine described.
head -c 100003 /dev/urandom > "$work/digest.bin"
"$work/build/system_consumer" "$work/digest.bin" > "$work/system.out"
[ "$(head -n 1 "$work/system.out")" = "$(md5sum < "$work/digest.bin" | cut -d' ' -f1)" ] ||
  { echo "digest differs from md5sum:" >&2; cat "$work/system.out" >&2; exit 1; }
grep -q '^memory: [0-9]* Mb' "$work/system.out"
echo "installed package: digest, enciphered value and system description"

# A MIDI song rendered to WAV through the synthesizer (no sound card here).
/usr/bin/python3 - "$work/song.mid" <<'PY'
import struct, sys
events = b""
for note in (60, 64, 67):
    events += b"\x00\x90" + bytes([note, 100]) + b"\x60\x80" + bytes([note, 0])
events += b"\x00\xff\x2f\x00"
open(sys.argv[1], "wb").write(b"MThd" + struct.pack(">IHHH", 6, 0, 1, 96) + b"MTrk" + struct.pack(">I", len(events)) + events)
PY
ZERTH_MIDI_DEVICE="wav:$work/song.wav" "$work/build/midi_consumer" "$work/song.mid" 60
[ "$(stat -c %s "$work/song.wav")" -gt 100000 ] || { echo "the song was not rendered" >&2; exit 1; }
echo "installed package: a MIDI song rendered through the synthesizer"

# A dialog with an animated button.
"$work/build/media_consumer"
