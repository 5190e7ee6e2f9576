#!/usr/bin/env bash
# Tavo's real upload against vsftpd across a link with 20 ms round trips (10 ms each way),
# side by side with curl in the same run: a page with 200 images of 4 KiB, and one with
# five of 500 KiB, in active and passive mode; medians of RUNS runs, wall time each, login
# included. Two network namespaces joined by tavo_link_relay make the link; nothing
# leaves this machine. lftp gets a column too when it is installed.
#
#   bench/delayed_link_bench.sh [BUILD_DIR]     (root; RUNS=3 unless set)
set -euo pipefail

BUILD=$(realpath "${1:-build}")
RUNS=${RUNS:-3}
SRV_NS=tavo-link-srv CLI_NS=tavo-link-cli
SRV_DEV=tavo-srv0 CLI_DEV=tavo-cli0
SRV_IP=10.200.0.1 CLI_IP=10.200.0.2
FTP_USER='tavo-link-bench'
FTP_PASS=link-bench-pw
RELAY=$BUILD/bench/tavo_link_relay
UPLOAD=$BUILD/bench/tavo_upload_link_bench

skip() {
    echo "delayed link benchmark skipped: $*"
    exit 0
}
[[ $(id -u) == 0 ]] || skip "needs root"
command -v ip >/dev/null || skip "needs ip (iproute2)"
[[ -c /dev/net/tun ]] || skip "needs tun (/dev/net/tun)"
[[ -x /usr/sbin/vsftpd ]] && command -v curl >/dev/null || skip "needs vsftpd and curl"
[[ -x $RELAY && -x $UPLOAD ]] || {
    echo "build tavo_link_relay and tavo_upload_link_bench in $BUILD first" >&2
    exit 1
}
for ns in $SRV_NS $CLI_NS; do
    [[ ! -e /run/netns/$ns ]] || { echo "namespace $ns exists: is another run going?" >&2; exit 1; }
done
! id "$FTP_USER" >/dev/null 2>&1 || { echo "user $FTP_USER exists: is another run going?" >&2; exit 1; }

WORK=$(mktemp -d /tmp/tavo-link.XXXXXX)
HOME_DIR=$WORK/home
RELAY_PID='' VSFTPD_PID='' MADE_USER=''
cleanup() {
    set +e
    [[ -n $VSFTPD_PID ]] && kill "$VSFTPD_PID" && wait "$VSFTPD_PID" 2>/dev/null
    # Sessions still open in the server namespace are vsftpd's children.
    [[ -e /run/netns/$SRV_NS ]] && for pid in $(ip netns pids $SRV_NS); do kill "$pid"; done
    if [[ -n $RELAY_PID ]]; then
        kill "$RELAY_PID" && wait "$RELAY_PID"
        cat "$WORK/relay.log" >&2  # packets forwarded and dropped
    fi
    for ns in $SRV_NS $CLI_NS; do [[ -e /run/netns/$ns ]] && ip netns del $ns; done
    [[ -n $MADE_USER ]] && userdel "$FTP_USER"
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The link: the relay creates both devices, each then goes into its namespace.
ip netns add $SRV_NS && ip netns add $CLI_NS || skip "cannot create network namespaces"
"$RELAY" $SRV_DEV $CLI_DEV 10 >"$WORK/relay.out" 2>"$WORK/relay.log" &
RELAY_PID=$!
for _ in {1..50}; do [[ -s $WORK/relay.out ]] && break; sleep 0.1; done
[[ -s $WORK/relay.out ]] || skip "the relay could not create TUN devices: $(cat "$WORK/relay.log")"
setup_end() { # NS DEV ADDRESS PEER
    ip link set "$2" netns "$1"
    ip -n "$1" addr add "$3" peer "$4" dev "$2"
    ip -n "$1" link set "$2" mtu 1500 up
    ip -n "$1" link set lo up
}
setup_end $SRV_NS $SRV_DEV $SRV_IP/32 $CLI_IP/32
setup_end $CLI_NS $CLI_DEV $CLI_IP/32 $SRV_IP/32

# The server: a local user with a writable home, in the server namespace only.
useradd --no-create-home --home-dir "$HOME_DIR" --shell /bin/bash "$FTP_USER"
MADE_USER=1
echo "$FTP_USER:$FTP_PASS" | chpasswd
mkdir -p "$HOME_DIR" "$WORK/empty"
chown "$FTP_USER" "$HOME_DIR"
chmod 755 "$WORK"
cat >"$WORK/vsftpd.conf" <<EOF
listen=YES
listen_ipv6=NO
listen_address=$SRV_IP
listen_port=21
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
connect_from_port_20=NO
use_localtime=NO
EOF
# It writes its start-up errors to descriptor 0.
ip netns exec $SRV_NS /usr/sbin/vsftpd "$WORK/vsftpd.conf" 2>"$WORK/vsftpd.log" 0>&2 &
VSFTPD_PID=$!
for _ in {1..50}; do
    [[ -n $(ip netns exec $SRV_NS ss -Hltn "sport = :21") ]] && break
    sleep 0.1
done
[[ -n $(ip netns exec $SRV_NS ss -Hltn "sport = :21") ]] || {
    echo "vsftpd did not start: $(cat "$WORK/vsftpd.log")" >&2
    exit 1
}

export QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1 LC_ALL=C.UTF-8
export QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu --disable-background-networking"
export XDG_CACHE_HOME=$WORK/xdg-cache XDG_CONFIG_HOME=$WORK/xdg-config XDG_DATA_HOME=$WORK/xdg-data

REMOTE=$HOME_DIR/diary
fresh_remote() {
    rm -rf "$REMOTE"
    mkdir "$REMOTE"
    chown "$FTP_USER" "$REMOTE"
}
# The page and every image landed whole, and nothing else.
check_remote() { # DIARY COUNT
    cmp -s "$1/temp.html" "$REMOTE/page.html" || return 1
    for f in "$1"/tavo-img/*; do cmp -s "$f" "$REMOTE/tavo-img/${f##*/}" || return 1; done
    [[ $(ls "$REMOTE/tavo-img" | wc -l) == "$2" ]]
}
# Seconds of wall time for a command run in the client namespace.
timed() {
    ip netns exec $CLI_NS bash -c 's=$EPOCHREALTIME; "$@" >/dev/null || exit 1; e=$EPOCHREALTIME
                                   awk "BEGIN { print $e - $s }"' timed "$@"
}
tavo_run() { # COUNT SIZE MODE DIARY
    ip netns exec $CLI_NS "$UPLOAD" $SRV_IP 21 "$FTP_USER" "$FTP_PASS" "$REMOTE" "$1" "$2" "$3" "$4" \
        2>>"$WORK/upload.log"
}
curl_run() { # DIARY MODE
    local images port=()
    images=$(printf '%s,' "$1"/tavo-img/*)
    [[ $2 == active ]] && port=(--ftp-port "$CLI_IP")
    timed curl -sS --user "$FTP_USER:$FTP_PASS" "${port[@]}" --ftp-create-dirs \
        -T "$1/temp.html" "ftp://$SRV_IP/diary/page.html" \
        -T "{${images%,}}" "ftp://$SRV_IP/diary/tavo-img/"
}
lftp_run() { # DIARY MODE
    local passive=on
    [[ $2 == active ]] && passive=off
    timed lftp -c "set ftp:ssl-allow no; set ftp:passive-mode $passive; set ftp:port-ipv4 $CLI_IP
        open -u $FTP_USER,$FTP_PASS ftp://$SRV_IP; cd diary; put $1/temp.html -o page.html
        mkdir tavo-img; cd tavo-img; mput $1/tavo-img/*"
}
ratio() { awk "BEGIN { print $1 / $2 }"; }
median() { printf '%s\n' "$@" | sort -g | sed -n "$((($# + 1) / 2))p"; }

tools=(tavo curl)
command -v lftp >/dev/null && tools+=(lftp)
printf '%-22s %-8s %9s %9s %10s' workload mode "Tavo s" "curl s" "Tavo/curl"
[[ ${#tools[@]} == 3 ]] && printf ' %9s %10s' "lftp s" "Tavo/lftp"
printf '\n'
status=0
for workload in "200 4096 200 images of 4 KiB" "5 512000 5 images of 500 KiB"; do
    read -r count size name <<<"$workload"
    diary=$WORK/diary-$count
    for mode in active passive; do
        declare -A times=()
        for ((run = 0; run < RUNS; ++run)); do
            for tool in "${tools[@]}"; do
                fresh_remote
                if [[ $tool == tavo ]]; then
                    t=$(tavo_run "$count" "$size" $mode "$diary") || t=failed
                else
                    t=$(${tool}_run "$diary" $mode) || t=failed
                fi
                [[ $t == failed ]] || check_remote "$diary" "$count" || t=wrong
                if [[ ! $t =~ ^[0-9.]+$ ]]; then
                    echo "$tool, $name, $mode: upload $t" >&2
                    [[ $tool != tavo ]] || tail -5 "$WORK/upload.log" >&2
                    status=1
                    continue 3
                fi
                times[$tool]+=" $t"
            done
        done
        tavo=$(median ${times[tavo]}) curl=$(median ${times[curl]})
        printf '%-22s %-8s %9.3f %9.3f %10.2f' "$name" $mode "$tavo" "$curl" "$(ratio "$tavo" "$curl")"
        if [[ ${#tools[@]} == 3 ]]; then
            lftp=$(median ${times[lftp]})
            printf ' %9.3f %10.2f' "$lftp" "$(ratio "$tavo" "$lftp")"
        fi
        printf '\n'
    done
done
exit $status
