#!/usr/bin/env bash
# Takes the README's screenshot: the real main window under Xvfb, on a sample diary in a
# temporary per-user folder, with today's entry in Japanese.
# Usage: scripts/screenshot.sh path/to/tavo output.png
set -euo pipefail
tavo=$(realpath "$1")
output=$2

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
folder="$home/tavo"
mkdir -p "$folder/data"

# Entries are three scrambled CP932 lines; see core/scramble.cpp.
/usr/bin/python3 - "$folder" <<'PY'
import datetime, os, sys
folder = sys.argv[1]
def encode(text):
    data = text.replace("\n", "\r\n").encode("cp932")
    return "".join(reversed(["%02X" % ((b + i + 1) % 256) for i, b in enumerate(data)]))
today = datetime.date.today()
title = "初雪の朝"
public = ("今朝は初雪。窓の外が一面真っ白になっていた。\n"
          "<b>駅まで歩く</b>途中、子どもたちが雪だるまを作っていた。\n"
          "<img src=\"tavo-img/%s_1.jpg\">\n"
          "帰りにパン屋で温かいスープを買った。～また明日～" % today.strftime("%Y%m%d"))
private = "10:00 歯医者\n15:00 打ち合わせ（資料を印刷）\n夜：年賀状の下書き"
with open(os.path.join(folder, "data", today.strftime("%Y%m%d") + ".txt"), "w", newline="") as f:
    f.write(encode(title) + "\r\n" + encode(public) + "\r\n" + encode(private) + "\r\n")
with open(os.path.join(folder, "tavo.ini"), "w", newline="") as f:
    f.write("\r\n".join(["[SIZE]", "640", "560", "0", "0", "[Path]", "", "[SPLIT]", "300",
                         "150", "[Visible]", "1", "1", "[WINDOWSTATE]", "1"]) + "\r\n")
PY

export XDG_DATA_HOME="$home" XDG_CONFIG_HOME="$home" XDG_RUNTIME_DIR="$home"
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
export QT_QPA_PLATFORM=xcb
xvfb-run -a -s "-screen 0 800x600x24" bash -c '
  "$1" & pid=$!
  sleep 4
  import -window root -crop 640x560+0+0 "$2"
  kill $pid; wait $pid 2>/dev/null || true
' _ "$tavo" "$(realpath -m "$output")"
echo "wrote $output"
