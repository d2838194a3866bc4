#!/usr/bin/env bash
# Checks what an administrator gets from `cmake --install` and the Debian
# package, on the installed files themselves.
#
#   install_test.sh tree    BUILD SOURCE VERSION   install into a scratch prefix, check the tree,
#                                                  the unit, the desktop entry, the man pages
#   install_test.sh package BUILD SOURCE VERSION OUT   cpack -G DEB into OUT, check its files and fields
#   install_test.sh dpkg    BUILD SOURCE VERSION OUT   as root: dpkg -i the package from OUT, run the
#                                                  installed programs, dpkg --purge it again
# Exit status 77: skipped (not root, or a tovrin package is installed already).
set -euo pipefail

mode=${1:?mode}
build=$(cd "${2:?build folder}" && pwd)
source=$(cd "${3:?source folder}" && pwd)
version=${4:?version}
out=${5:-}

# Under /tmp whatever TMPDIR says: the dpkg check runs the program as the
# service user in here, so every folder on the way must be open to it.
work=$(mktemp -d /tmp/tovrin-install-XXXXXX)
chmod 0755 "$work"
cleanups=()
cleanup() {
  local status=$?
  for ((i = ${#cleanups[@]} - 1; i >= 0; i--)); do eval "${cleanups[i]}" || true; done
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
skip() {
  echo "SKIP: $*"
  exit 77
}
need() {
  command -v "$1" >/dev/null || fail "$1 is missing (Debian package $2; scripts/install-deps.sh installs it)"
}
# Runs a checker that reports problems as output even when it exits 0.
silent() {
  local output
  output=$("$@" 2>&1) || fail "$* failed: $output"
  [ -z "$output" ] || fail "$* reported: $output"
}
# The value of KEY= in a unit or desktop file (first occurrence).
field() { sed -n "s/^$2=//p" "$1" | head -n 1; }

# One sample drawing, settled (an old modification time), in a new folder.
drawing_folder() {
  local dir=$work/$1
  mkdir -p "$dir"
  cp "$source/examples/SHAFT.OFI" "$dir/"
  touch -d '1 hour ago' "$dir/SHAFT.OFI"
  echo "$dir"
}

# The installed tovrin-batch plots the sample exactly as the built one does.
check_plots_like_build() {
  local installed=$1 runner=${2:-} built_dir installed_dir
  built_dir=$(drawing_folder built)
  installed_dir=$(drawing_folder "installed-$RANDOM")
  (cd "$built_dir" && "$build/tovrin-batch" --set 'OfiOut=ﾌｧｲﾙ' >log.txt 2>&1) ||
    fail "the built tovrin-batch failed: $(cat "$built_dir/log.txt")"
  [ -z "$runner" ] || chown -R "$runner" "$installed_dir"
  (cd "$installed_dir" && ${runner:+runuser -u "$runner" --} "$installed" --set 'OfiOut=ﾌｧｲﾙ' >log.txt 2>&1) ||
    fail "the installed tovrin-batch failed: $(cat "$installed_dir/log.txt")"
  cmp "$built_dir/SHAFT.GLF" "$installed_dir/SHAFT.GLF" || fail "the installed tovrin-batch plots differently"
}

# `--version` prints the version. Until the program has that option, the
# plot check above is what shows the installed program works.
check_version() {
  local program=$1 text status=0
  text=$("$program" --version 2>&1) || status=$?
  if [ "$status" -eq 2 ]; then
    echo "NOTE: $program has no --version yet (usage error); checked by a plot instead"
    return 0
  fi
  [ "$status" -eq 0 ] || fail "$program --version exited $status: $text"
  grep -qF "$version" <<<"$text" || fail "$program --version does not name $version: $text"
}

# Every option of `tovrin-batch --help` is in its man page (once --help exists).
check_options_documented() {
  local program=$1 page=$2 help option
  help=$("$program" --help 2>/dev/null) || return 0
  for option in $(grep -oE -- '--[a-z][a-z-]*' <<<"$help" | sort -u); do
    grep -qF -- "${option//-/\\-}" "$page" || fail "$option is not in $(basename "$page")"
  done
}

check_unit() {
  local unit=$1 bindir=$2 instance
  [ "$(field "$unit" ExecStart)" = "$bindir/tovrin-batch --watch 30" ] || fail "ExecStart: $(field "$unit" ExecStart)"
  [ "$(field "$unit" WorkingDirectory)" = "/etc/tovrin/%i" ] || fail "WorkingDirectory: $(field "$unit" WorkingDirectory)"
  [ "$(field "$unit" User)" = tovrin ] || fail "User: $(field "$unit" User)"
  [ "$(field "$unit" Group)" = lp ] || fail "Group: $(field "$unit" Group)"
  [ "$(field "$unit" Restart)" = on-failure ] || fail "Restart: $(field "$unit" Restart)"
  [ "$(field "$unit" SuccessExitStatus)" = 1 ] || fail "SuccessExitStatus: $(field "$unit" SuccessExitStatus)"
  for key in ProtectSystem=strict PrivateTmp=yes NoNewPrivileges=yes ProtectHome=yes \
    'ReadWritePaths=/etc/tovrin/%i' Type=notify WatchdogSec=120 'ExecReload=/bin/kill -HUP $MAINPID'; do
    grep -qxF "$key" "$unit" || fail "the unit lacks $key"
  done
  # An instance, as systemctl would load it; the man page it names must be there.
  instance=$work/tovrin-batch@check.service
  cp "$unit" "$instance"
  silent env MANPATH="${MANPATH_FOR_UNIT:-}" systemd-analyze verify --man="${CHECK_MAN:-no}" "$instance"
  systemd-analyze security --offline=true --man=no --threshold=30 "$instance" >"$work/security.txt" 2>&1 ||
    fail "the sandbox got weaker: $(tail -n 3 "$work/security.txt")"
}

check_desktop_entry() {
  local entry=$1 prefix=$2
  silent desktop-file-validate "$entry"
  [ -x "$prefix/bin/$(field "$entry" Exec)" ] || fail "Exec names no installed program: $(field "$entry" Exec)"
  [ -f "$prefix/share/icons/hicolor/scalable/apps/$(field "$entry" Icon).svg" ] || fail "no icon $(field "$entry" Icon)"
}

check_man_page() {
  local page=$1 warnings
  grep -q "^\.TH .*\"Tovrin $version\"" "$page" || fail "$(basename "$page") does not name version $version"
  warnings=$(LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z "$page" 2>&1)
  [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
}

tree() {
  need systemd-analyze systemd
  need desktop-file-validate desktop-file-utils
  need groff groff-base
  local prefix=$work/prefix listed manifest=$build/install_manifest.txt
  # cmake --install rewrites the build folder's list of installed files: keep
  # the one of a real install.
  if [ -f "$manifest" ]; then
    cp -p "$manifest" "$work/manifest"
    cleanups+=("cp -p '$work/manifest' '$manifest'")
  else
    cleanups+=("rm -f '$manifest'")
  fi
  cmake --install "$build" --prefix "$prefix" >"$work/install.txt" 2>&1 || fail "cmake --install: $(cat "$work/install.txt")"
  listed=$(cd "$prefix" && find . -type f -o -type l | sort)
  [ "$listed" = "$(printf '%s\n' ./bin/tovrin ./bin/tovrin-batch \
    ./lib/systemd/system/tovrin-batch@.service \
    ./share/applications/tovrin.desktop \
    ./share/icons/hicolor/scalable/apps/tovrin.svg \
    ./share/man/man1/tovrin-batch.1 ./share/man/man1/tovrin.1)" ] || fail "installed files:"$'\n'"$listed"

  MANPATH_FOR_UNIT=$prefix/share/man CHECK_MAN=yes check_unit "$prefix/lib/systemd/system/tovrin-batch@.service" "$prefix/bin"
  check_desktop_entry "$prefix/share/applications/tovrin.desktop" "$prefix"
  grep -q '<svg ' "$prefix/share/icons/hicolor/scalable/apps/tovrin.svg" || fail "the icon is no SVG"
  check_man_page "$prefix/share/man/man1/tovrin-batch.1"
  check_man_page "$prefix/share/man/man1/tovrin.1"
  check_options_documented "$prefix/bin/tovrin-batch" "$prefix/share/man/man1/tovrin-batch.1"
  check_plots_like_build "$prefix/bin/tovrin-batch"
  check_version "$prefix/bin/tovrin-batch"
  echo "installed tree OK"
}

package_file() { ls "$out"/tovrin_"$version"_*.deb 2>/dev/null | head -n 1; }

package() {
  need cpack cmake
  need dpkg-deb dpkg
  [ -n "$out" ] || fail "no output folder"
  rm -rf "$out"
  mkdir -p "$out"
  (cd "$build" && cpack -G DEB -B "$out") >"$work/cpack.txt" 2>&1 || fail "cpack: $(cat "$work/cpack.txt")"
  local deb listed depends
  deb=$(package_file)
  [ -n "$deb" ] || fail "cpack wrote no package: $(cat "$work/cpack.txt")"

  listed=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort)
  [ "$listed" = "$(printf '%s\n' ./usr/bin/tovrin ./usr/bin/tovrin-batch \
    ./usr/lib/systemd/system/tovrin-batch@.service \
    ./usr/share/applications/tovrin.desktop \
    ./usr/share/icons/hicolor/scalable/apps/tovrin.svg \
    ./usr/share/man/man1/tovrin-batch.1 ./usr/share/man/man1/tovrin.1)" ] || fail "package files:"$'\n'"$listed"

  [ "$(dpkg-deb -f "$deb" Package)" = tovrin ] || fail "Package: $(dpkg-deb -f "$deb" Package)"
  [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "Version: $(dpkg-deb -f "$deb" Version)"
  depends=$(dpkg-deb -f "$deb" Depends)
  for dep in libcups2 libqt6core6 libqt6gui6 libqt6widgets6 libqt6svg6 qt6-qpa-plugins \
    fonts-ipafont-gothic adduser; do
    grep -qE "(^|, )$dep( |,|$)" <<<"$depends" || fail "Depends lacks $dep: $depends"
  done

  # The packaged unit starts the packaged program (the dpkg check verifies it installed).
  dpkg-deb -x "$deb" "$work/root"
  [ "$(field "$work/root/usr/lib/systemd/system/tovrin-batch@.service" ExecStart)" = \
    "/usr/bin/tovrin-batch --watch 30" ] || fail "the packaged unit does not start /usr/bin/tovrin-batch"
  dpkg-deb -e "$deb" "$work/control"
  for script in postinst prerm postrm; do
    [ -x "$work/control/$script" ] || fail "no $script"
    sh -n "$work/control/$script" || fail "$script does not parse"
  done
  echo "package $(basename "$deb") OK"
}

# dpkg refuses to run while apt or another dpkg holds its lock: wait for it.
dpkg_retrying() {
  local attempt
  for attempt in $(seq 1 30); do
    if "$@" >"$work/dpkg.txt" 2>&1; then return 0; fi
    grep -qi 'lock' "$work/dpkg.txt" || break
    sleep 2
  done
  cat "$work/dpkg.txt" >&2
  return 1
}

installed_version() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'ok installed'; }

dpkg_install() {
  [ "$(id -u)" -eq 0 ] || skip "dpkg -i needs root"
  need dpkg dpkg
  need runuser util-linux
  [ -n "$out" ] || fail "no package folder"
  local deb missing=() name
  deb=$(package_file)
  [ -n "$deb" ] || fail "no package in $out (the package test makes it)"

  # One install at a time, and never over a package the machine had.
  local locks=/run/lock
  [ -d "$locks" ] || locks=/tmp
  exec 9>"$locks/tovrin-dpkg-test.lock"
  flock -w 300 9 || fail "another dpkg test holds the lock"
  ! installed_version tovrin || skip "a tovrin package is installed on this machine; left alone"

  for name in $(dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed 's/(.*)//; s/|.*//; s/ //g'); do
    installed_version "$name" || missing+=("$name")
  done
  [ ${#missing[@]} -eq 0 ] || fail "dependencies not installed: ${missing[*]} (scripts/install-deps.sh)"

  local had_user=yes
  getent passwd tovrin >/dev/null || had_user=no
  cleanups+=('installed_version tovrin && dpkg_retrying dpkg --purge tovrin')
  [ "$had_user" = yes ] || cleanups+=('getent passwd tovrin >/dev/null && userdel tovrin')

  dpkg_retrying dpkg -i "$deb" || fail "dpkg -i $deb"
  [ -x /usr/bin/tovrin-batch ] && [ -x /usr/bin/tovrin ] || fail "the programs are not in /usr/bin"
  [ "$(id -gn tovrin 2>/dev/null)" = lp ] || fail "postinst made no user tovrin in group lp"
  if ldd /usr/bin/tovrin /usr/bin/tovrin-batch | grep -F 'not found'; then fail "libraries missing"; fi

  check_version /usr/bin/tovrin-batch
  check_plots_like_build /usr/bin/tovrin-batch tovrin
  # The installed unit, with the installed man page.
  CHECK_MAN=yes MANPATH_FOR_UNIT=/usr/share/man check_unit /usr/lib/systemd/system/tovrin-batch@.service /usr/bin

  dpkg_retrying dpkg --purge tovrin || fail "dpkg --purge tovrin"
  [ ! -e /usr/bin/tovrin-batch ] && [ ! -e /usr/lib/systemd/system/tovrin-batch@.service ] ||
    fail "files left after dpkg --purge"
  echo "dpkg -i, run, dpkg --purge OK"
}

case $mode in
  tree) tree ;;
  package) package ;;
  dpkg) dpkg_install ;;
  *) fail "unknown mode $mode" ;;
esac
