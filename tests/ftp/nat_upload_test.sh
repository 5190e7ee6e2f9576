#!/usr/bin/env bash
# The upload dialog from a computer behind a home router: three network namespaces, the
# computer (192.168.77.2, known only on its own side), a router that masquerades it with no
# FTP helper, and vsftpd on the outside that cannot reach the private addresses. Passive
# mode must deliver the page; active mode must stop with the dialog's message about the
# data connection, and neither may hang. Nothing leaves the namespaces made here.
#
#   tests/ftp/nat_upload_test.sh UPLOAD_PROGRAM     (root; exits 77 when it cannot run)
set -euo pipefail

UPLOAD=$(realpath "$1")
SUFFIX=$$
CLI_NS=tavo-nat-cli-$SUFFIX RTR_NS=tavo-nat-rtr-$SUFFIX SRV_NS=tavo-nat-srv-$SUFFIX
CLI_IP=192.168.77.2 LAN_IP=192.168.77.1 WAN_IP=10.201.0.2 SRV_IP=10.201.0.1
FTP_USER=tavo-nat-$SUFFIX
FTP_PASS=nat-test-pw
RUN_SECONDS=20

skip() {
    echo "NAT upload test skipped: $*"
    exit 77
}
[[ $(id -u) == 0 ]] || skip "needs root"
command -v ip >/dev/null || skip "needs ip (iproute2)"
command -v nft >/dev/null || skip "needs nft (nftables)"
[[ -x /usr/sbin/vsftpd ]] || skip "needs vsftpd"
[[ -x $UPLOAD ]] || { echo "no upload program at $UPLOAD" >&2; exit 1; }

WORK=$(mktemp -d /tmp/tavo-nat.XXXXXX)
HOME_DIR=$WORK/home
VSFTPD_PIDS='' MADE_USER=''
cleanup() {
    set +e
    for pid in $VSFTPD_PIDS; do kill "$pid" && wait "$pid" 2>/dev/null; done
    # Whatever still runs in a namespace (vsftpd's sessions) goes with it.
    for ns in $CLI_NS $SRV_NS $RTR_NS; do
        [[ -e /run/netns/$ns ]] || continue
        for pid in $(ip netns pids "$ns"); do kill "$pid"; done
        ip netns del "$ns"
    done
    [[ -n $MADE_USER ]] && userdel "$FTP_USER"
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

for ns in $CLI_NS $RTR_NS $SRV_NS; do
    ip netns add "$ns" 2>/dev/null || skip "cannot create network namespaces"
    ip -n "$ns" link set lo up
done
# Both cables are made inside the router, their other ends moved straight to their hosts,
# so no device ever appears outside these namespaces.
ip -n $RTR_NS link add lan type veth peer name eth0 netns $CLI_NS || skip "cannot create veth devices"
ip -n $RTR_NS link add wan type veth peer name eth0 netns $SRV_NS
ip -n $CLI_NS addr add $CLI_IP/24 dev eth0
ip -n $CLI_NS link set eth0 up
ip -n $CLI_NS route add default via $LAN_IP
ip -n $RTR_NS addr add $LAN_IP/24 dev lan
ip -n $RTR_NS addr add $WAN_IP/24 dev wan
ip -n $RTR_NS link set lan up
ip -n $RTR_NS link set wan up
# The server knows only its own link: no route back to 192.168.77.0/24.
ip -n $SRV_NS addr add $SRV_IP/24 dev eth0
ip -n $SRV_NS link set eth0 up
ip netns exec $RTR_NS sysctl -qw net.ipv4.ip_forward=1
# Masquerade only; no ct helper is assigned, so PORT commands pass unrewritten, as through
# a router without an FTP helper (or any router, once the control connection is encrypted).
ip netns exec $RTR_NS nft -f - <<EOF || skip "cannot set up NAT with nft"
table ip nat {
    chain postrouting {
        type nat hook postrouting priority srcnat; policy accept;
        oifname "wan" masquerade
    }
}
EOF

# The server: a local user with a writable home, in the server namespace only.
useradd --no-create-home --home-dir "$HOME_DIR" --shell /bin/bash "$FTP_USER"
MADE_USER=1
echo "$FTP_USER:$FTP_PASS" | chpasswd
mkdir -p "$HOME_DIR/diary" "$WORK/empty"
chown "$FTP_USER" "$HOME_DIR" "$HOME_DIR/diary"
chmod 755 "$WORK"
# Two servers: one as vsftpd comes, which refuses a PORT naming another host than the
# connection's, and one that takes it and tries the private address, which it cannot reach.
start_vsftpd() { # PORT PROMISCUOUS
    cat >"$WORK/vsftpd-$1.conf" <<EOF
listen=YES
listen_ipv6=NO
listen_address=$SRV_IP
listen_port=$1
background=NO
anonymous_enable=NO
local_enable=YES
write_enable=YES
local_umask=022
delay_failed_login=0
pam_service_name=vsftpd
secure_chroot_dir=$WORK/empty
pasv_enable=YES
pasv_address=$SRV_IP
port_enable=YES
port_promiscuous=$2
connect_from_port_20=NO
use_localtime=NO
EOF
    # It writes its start-up errors to descriptor 0.
    ip netns exec $SRV_NS /usr/sbin/vsftpd "$WORK/vsftpd-$1.conf" 2>"$WORK/vsftpd-$1.log" 0>&2 &
    VSFTPD_PIDS+=" $!"
    for _ in {1..50}; do
        [[ -n $(ip netns exec $SRV_NS ss -Hltn "sport = :$1") ]] && return
        sleep 0.1
    done
    echo "vsftpd did not start: $(cat "$WORK/vsftpd-$1.log")" >&2
    exit 1
}
start_vsftpd 21 NO
start_vsftpd 2121 YES
# The server has no way back to the computer but through the masquerade: a connection
# that opens shows the router at work.
ip netns exec $CLI_NS timeout 5 bash -c "exec 3<>/dev/tcp/$SRV_IP/21" ||
    { echo "the computer cannot reach the server through the router" >&2; exit 1; }

export QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1 LC_ALL=C.UTF-8
export QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu --disable-background-networking"
export XDG_CACHE_HOME=$WORK/xdg-cache XDG_CONFIG_HOME=$WORK/xdg-config XDG_DATA_HOME=$WORK/xdg-data

REMOTE=$HOME_DIR/diary
upload() { # PORT MODE: the dialog's upload of a page with two images, from the computer
    local run=$2-$1
    rm -rf "${REMOTE:?}"/* "$WORK/diary-$run"
    timeout -k 5 $RUN_SECONDS ip netns exec $CLI_NS \
        "$UPLOAD" $SRV_IP "$1" "$FTP_USER" "$FTP_PASS" "$REMOTE" 2 1000 "$2" "$WORK/diary-$run" \
        >"$WORK/$run.out" 2>"$WORK/$run.err"
}
status=0
fail() {
    echo "FAIL: $*" >&2
    status=1
}

for port in 21 2121; do
    if upload $port passive; then
        diary=$WORK/diary-passive-$port
        cmp -s "$diary/temp.html" "$REMOTE/page.html" ||
            fail "passive, port $port: the page did not arrive whole"
        for f in "$diary"/tavo-img/*; do
            cmp -s "$f" "$REMOTE/tavo-img/${f##*/}" ||
                fail "passive, port $port: ${f##*/} did not arrive whole"
        done
    else
        fail "passive, port $port: the upload did not complete (exit $?):" \
            "$(cat "$WORK/passive-$port.err")"
    fi

    if upload $port active; then
        fail "active, port $port: the upload completed although the server cannot reach the computer"
    else
        code=$?
        ((code != 124 && code != 137)) || fail "active, port $port: the upload hung"
        grep -q "ファイルを送るための接続（データ接続）を確立できませんでした" "$WORK/active-$port.err" ||
            fail "active, port $port: not the data connection's message:" \
                "$(cat "$WORK/active-$port.err")"
        [[ ! -e $REMOTE/page.html ]] || fail "active, port $port: a page arrived"
    fi
done

((status == 0)) && echo "NAT upload test passed: passive delivered the page, active said why it could not"
exit $status
