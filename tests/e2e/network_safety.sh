#!/usr/bin/env bash
# Runs the client's start-up case in the lab and checks that this machine's own network
# namespace saw nothing of what the client sends: no UDP datagram to a port the client sends
# to (its broadcasts and multicasts go out from its first second) left any interface here, and
# no socket of the client was open here at any time. The machine's other traffic does not count.
# As any user but root the lab lives inside a user namespace of its own, which cannot reach
# this namespace at all: nothing to check (ctest reports it skipped).
#   tests/e2e/network_safety.sh SOURCE_DIR BIN_DIR
set -euo pipefail
src=$1; bin=$2
[ "$(id -u)" -eq 0 ] || { echo "not root: the lab cannot reach this namespace"; exit 77; }
counted=$(mktemp)
trap 'rm -f "$counted"' EXIT

# Outgoing IPv4 UDP datagrams to the client's ports, on every interface, until SIGTERM.
python3 -c '
import signal, socket, struct, sys
ports = {41234, 41235, 41237, 1901, 12345, 12346, 5000, 2710, 3210, 41300, 80, 19997, 54322}
seen = []
def done(*_):
    open(sys.argv[1], "w").write("\n".join(seen))
    sys.exit(0)
signal.signal(signal.SIGTERM, done)
s = socket.socket(socket.AF_PACKET, socket.SOCK_DGRAM, socket.htons(0x0800))
while True:
    ip, where = s.recvfrom(65535)
    head = (ip[0] & 15) * 4
    if where[2] == socket.PACKET_OUTGOING and ip[9] == 17 and struct.unpack("!H", ip[head + 2:head + 4])[0] in ports:
        seen.append("%s %s:%d" % (where[0], socket.inet_ntoa(ip[16:20]), struct.unpack("!H", ip[head + 2:head + 4])[0]))
' "$counted" &
sniffer=$!

client_sockets() { ss -uatnp 2>/dev/null | grep -c '"kora"' || true; }
"$src/scripts/with-lab" --bin "$bin" -- "$src/tests/e2e/client_e2e.sh" "$bin" start &
run=$!
sockets=0
while kill -0 "$run" 2>/dev/null; do # sampled while the client runs
    sockets=$(( sockets + $(client_sockets) ))
    sleep 0.2
done
status=0; wait "$run" || status=$?
kill -TERM "$sniffer"; wait "$sniffer" || true
[ "$status" -eq 0 ] || { echo "FAIL: the start-up case failed"; exit 1; }
echo "datagrams to the client's ports sent from this namespace: $(grep -c . "$counted" || true); client sockets seen: $sockets"
[ "$sockets" -eq 0 ] || { echo "FAIL: the client had a socket in the machine's own namespace"; exit 1; }
[ ! -s "$counted" ] || { echo "FAIL: sent through this machine's interfaces:"; head -n 5 "$counted"; exit 1; }
