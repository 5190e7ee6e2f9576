#!/usr/bin/env bash
# Checks the Debian package that `make package` left in BUILD as a user gets it: the
# package itself, its installation, its desktop files, then the installed programs on a
# small generated diary. Stops at the first failing check.
#
#   scripts/package-test.sh [BUILD]      (root, or a user who may sudo)
#
# The package is removed again at the end unless it was installed before.
set -euo pipefail

build=${1:-build}

step() { printf '\n== %s\n' "$*"; }
fail() {
  printf 'package-test: FAILED: %s\n' "$*" >&2
  exit 1
}

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi

# The version cpack used, so that an older package left in BUILD is never the one tested.
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake" 2>/dev/null || true)
[ -n "$version" ] || fail "$build is not a configured build folder; run make package"
deb="$build/tavo_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "no package $deb; run make package"
sample_diary="$build/tests/tools/tavo_sample_diary"
[ -x "$sample_diary" ] || fail "no $sample_diary; build the tests"

installed_before=no
if [ "$(dpkg-query -W -f='${db:Status-Status}' tavo 2>/dev/null || true)" = installed ]; then
  installed_before=yes
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/tavo-package-test-XXXXXX")
cleanup() {
  rm -rf "$work"
  if [ "$installed_before" = no ] && dpkg-query -W tavo >/dev/null 2>&1; then
    echo "package-test: removing the package again"
    $sudo dpkg -r tavo >/dev/null
  fi
}
trap cleanup EXIT

step "lintian $deb (errors fail)"
lintian_options=(--fail-on error --display-info)
if [ "$(id -u)" -eq 0 ]; then
  lintian_options+=(--allow-root)
fi
lintian "${lintian_options[@]}" "$deb" || fail "lintian reports errors"

step "dpkg -i $deb"
if ! $sudo dpkg -i "$deb"; then
  step "apt-get -f install (dependencies)"
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get -f install -y -qq
fi
[ "$(dpkg-query -W -f='${db:Status-Status}' tavo)" = installed ] || fail "tavo is not installed"

desktop_file=$(dpkg -L tavo | grep '^/usr/share/applications/.*\.desktop$') ||
  fail "the package has no desktop entry"
metainfo=$(dpkg -L tavo | grep '^/usr/share/metainfo/.*\.metainfo\.xml$') ||
  fail "the package has no AppStream metainfo"

step "desktop-file-validate $desktop_file"
desktop-file-validate "$desktop_file" || fail "desktop-file-validate"

step "appstreamcli validate --no-net $metainfo"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate"
step "appstreamcli validate-tree --no-net (the metainfo with its desktop entry and icon)"
dpkg-deb -x "$deb" "$work/tree"
appstreamcli validate-tree --no-net "$work/tree" || fail "appstreamcli validate-tree"

# The installed programs, without a display and away from the user's own diary.
mkdir -p "$work/home"
installed() {
  env -u DISPLAY -u WAYLAND_DISPLAY HOME="$work/home" XDG_DATA_HOME="$work/home/data" \
    XDG_CONFIG_HOME="$work/home/config" XDG_CACHE_HOME="$work/home/cache" \
    timeout 60 "$@"
}

step "tavo --version (without a display)"
output=$(installed /usr/bin/tavo --version) || fail "tavo --version exits with status $?"
printf '%s\n' "$output"
[ "$(printf '%s\n' "$output" | wc -l)" -eq 1 ] || fail "tavo --version prints more than one line"
[[ "$output" == *"$version"* ]] || fail "tavo --version does not name version $version"

step "tavo-cli --help, tavo-cli --version"
output=$(installed /usr/bin/tavo-cli --help) || fail "tavo-cli --help exits with status $?"
printf '%s\n' "$output"
grep -qw page <<<"$output" || fail "tavo-cli --help does not list the page command"
output=$(installed /usr/bin/tavo-cli --version) || fail "tavo-cli --version exits with status $?"
printf '%s\n' "$output"
[[ "$output" == *"$version"* ]] || fail "tavo-cli --version does not name version $version"

step "tavo-cli page of a generated diary with the installed style modern"
diary="$work/diary"
"$sample_diary" "$diary" || fail "cannot write the sample diary"
[ -f /usr/share/tavo/styles/modern.style ] || fail "the package has no style modern"
mkdir -p "$diary/style"
cp /usr/share/tavo/styles/modern.style "$diary/style/"
page="$work/page.html"
installed /usr/bin/tavo-cli page --folder "$diary" --style modern \
  --from 2026-10-01 --to 2026-11-30 --output "$page" || fail "tavo-cli page exits with status $?"
[ -s "$page" ] || fail "tavo-cli page wrote no page"
echo "$(wc -c <"$page") bytes"

step "tidy -e -q -shiftjis page.html (warnings pass, errors fail)"
status=0
tidy -e -q -shiftjis "$page" || status=$?
[ "$status" -le 1 ] || fail "tidy finds errors in the page"

printf '\npackage-test: all checks passed for %s\n' "$deb"
