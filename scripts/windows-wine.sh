# The Wine session that scripts/windows-test and scripts/windows-package-test run in (sourced, not run).
# A caller sets `run` (its log folder), `sim` (the tessarin-sim to run) and a function `fail` first.
#
#   wine_session PREFIX     a fresh 64-bit prefix with its own Xvfb screen and one persistent wineserver (the
#                           registry key of the serial ports is volatile and lives only as long as the
#                           server does), Debian's Noto Sans CJK in its Fonts folder; ended on exit
#   start_unit COM [ARGS]   tessarin-sim ($sim) on a pseudo-terminal that the prefix knows as COM<n>, listed as
#                           "\Device\VCP0"; its trace goes to $run/sim.log
#   list_unit / unlist_unit the registry value that says the adapter is plugged in
#   wait_for FILE REGEX S   waits up to S seconds for a line matching REGEX in FILE

wine_pids=()
wine_cleanup() {
  local status=$?
  for pid in "${wine_pids[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  wineserver -k >/dev/null 2>&1 || true
  for pid in "${wine_pids[@]}"; do
    wait "$pid" 2>/dev/null || true
  done
  exit "$status"
}

wait_for() {
  local file=$1 pattern=$2 tenths=$(($3 * 10))
  for ((i = 0; i < tenths; i++)); do
    grep -Eq -- "$pattern" "$file" 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}

wine_session() {
  export WINEPREFIX=$1 WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  unset WAYLAND_DISPLAY
  [[ -d "$WINEPREFIX" ]] && wineserver -k >/dev/null 2>&1 || true  # a server left by an interrupted run
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX" "$run"
  wine_log=$run/wine.log
  trap wine_cleanup EXIT

  # One screen for every Wine program of the session, so that its desktop process has a display.
  local fd_file=$run/xvfb.display
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -dpi 96 -nolisten tcp 3>"$fd_file" >>"$wine_log" 2>&1 &
  wine_pids+=($!)
  wait_for "$fd_file" '^[0-9]+$' 10 || fail "Xvfb did not start"
  export DISPLAY=:$(head -n1 "$fd_file")

  wineserver -p 2>>"$wine_log"
  wineboot -i >>"$wine_log" 2>&1
  wine reg query 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' >>"$wine_log" 2>&1 || fail "no serial-port key in the Wine registry"
  # A program that crashes ends with its status instead of waiting for someone to close Wine's crash dialog.
  wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d '' /f >>"$wine_log" 2>&1
  # A fresh prefix has no Japanese font.
  cp /usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc /usr/share/fonts/opentype/noto/NotoSansCJK-Bold.ttc \
    "$WINEPREFIX/drive_c/windows/Fonts/" || fail "no Noto Sans CJK (fonts-noto-cjk)"
  # The same font for the offscreen platform, which reads fonts from a folder of its own.
  wine_fonts=$run/fonts
  mkdir -p "$wine_fonts"
  cp /usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc /usr/share/fonts/opentype/noto/NotoSansCJK-Bold.ttc \
    "$wine_fonts/"
}

serialcomm='HKLM\HARDWARE\DEVICEMAP\SERIALCOMM'
unit_com=

list_unit() {
  wine reg add "$serialcomm" /v '\Device\VCP0' /d "COM$unit_com" /f >>"$wine_log" 2>&1 || fail "reg add"
}

unlist_unit() {
  wine reg delete "$serialcomm" /v '\Device\VCP0' /f >>"$wine_log" 2>&1 || fail "reg delete"
}

start_unit() {
  unit_com=$1
  shift
  mkdir -p -m 700 "$run/xdg"
  XDG_RUNTIME_DIR=$run/xdg "$sim" --trace --com "$unit_com" --index 0 "$@" >"$run/sim.log" 2>&1 &
  wine_pids+=($!)
  wait_for "$run/sim.log" ' on /dev/[^ ]+ listed as ' 10 || {
    cat "$run/sim.log"
    fail "tessarin-sim did not start"
  }
  unit_pty=$(sed -n 's|.* on \(/dev/[^ ]*\) listed as .*|\1|p' "$run/sim.log" | head -n1)
  ln -sfn "$unit_pty" "$WINEPREFIX/dosdevices/com$unit_com"
  list_unit
}
