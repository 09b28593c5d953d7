#!/usr/bin/env bash
# Runs the client in the lab and checks that no real interface of this machine sent a
# single packet meanwhile. Unrelated traffic can move a counter by chance, so a moved
# counter is measured once more before the test fails.
#   tests/e2e/network_safety.sh SOURCE_DIR BIN_DIR
set -euo pipefail
src=$1; bin=$2

counters() { # "iface tx_packets" for every interface of the default namespace but lo
    awk -F'[: ]+' 'NR > 2 { sub(/^ +/, ""); split($0, f, /[: ]+/); if (f[1] != "lo") print f[1], f[11] }' /proc/net/dev
}
for attempt in 1 2; do
    before=$(counters)
    "$src/scripts/with-lab" --bin "$bin" -- "$src/tests/e2e/client_e2e.sh" "$bin" start
    after=$(counters)
    if [ "$before" = "$after" ]; then
        echo "real interfaces unchanged:"; echo "$after"
        exit 0
    fi
    echo "attempt $attempt: counters moved"; diff <(echo "$before") <(echo "$after") || true
done
echo "FAIL: traffic left through a real interface during the client run"
exit 1
