#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Pealix developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Authorizer with the real pkcheck, pkexec and polkitd, on a system bus of this test's own in a mount
# namespace, with an action file naming a tool of the test's. As root, polkit grants everything, so this
# checks what the programs accept and pass on; refusals are covered by the stand-ins of AuthorizerTest.
#   RealPolkitTest.sh AUTHORIZER_TEST_EXECUTABLE
set -euo pipefail
test_program=$1
[ "$(id -u)" -eq 0 ] && [ -x /usr/bin/pkexec ] && [ -x /usr/lib/polkit-1/polkitd ] || exit 77
if [ "${PEALIX_IN_NAMESPACE:-}" != 1 ]; then
    PEALIX_IN_NAMESPACE=1 exec unshare -m --propagation private "$0" "$@" || exit 77
fi
work=$(mktemp -d)
chmod 755 "$work"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
mkdir -p /run/dbus "$work/actions"
mount -t tmpfs pealix-test-bus /run/dbus || exit 77
cat >"$work/system.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig><type>system</type><listen>unix:path=/run/dbus/system_bus_socket</listen><auth>EXTERNAL</auth>
<policy context="default"><allow user="*"/><allow own="*"/><allow send_destination="*"/><allow receive_sender="*"/></policy>
</busconfig>
CONF
# The tool records who asked, what came on its standard input and its environment, and ends with 3.
tool="$work/tool"
printf '#!/bin/sh\n{ echo "PKEXEC_UID=$PKEXEC_UID"; cat; env; } >"%s/ran"\nexit 3\n' "$work" >"$tool"
chmod 755 "$tool"
sed -e "s|@PEALIX_APP_ID@|com.quorlenvik.Pealix|" -e "s|@PEALIX_UNINSTALL_TOOL_XML@|$tool|" \
    "$(dirname "$0")/../../resources/polkit/com.quorlenvik.pealix.uninstall.policy.in" \
    >"$work/actions/com.quorlenvik.pealix.uninstall.policy"
mount --bind "$work/actions" /usr/share/polkit-1/actions
dbus-daemon --config-file="$work/system.conf" --fork --print-pid >"$work/bus.pid"
pids+=("$(cat "$work/bus.pid")")
/usr/lib/polkit-1/polkitd --no-debug >"$work/polkitd.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do
    pkcheck --action-id com.quorlenvik.pealix.uninstall --process $$ >/dev/null 2>&1 && break
    sleep 0.1
done
PEALIX_REAL_POLKIT_TOOL="$tool" PEALIX_REAL_POLKIT_RAN="$work/ran" \
    "$test_program" --gtest_filter='*real_polkit*' --gtest_also_run_disabled_tests
