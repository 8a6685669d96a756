#!/bin/bash
# Checks of the cross-built Windows programs: the PE files themselves, and
# the installer running under Wine (32-bit prefix set to Windows XP, 64-bit
# prefix running it under WOW64), headless under Xvfb.
#
#   tests/wine/run.sh [CROSS_BUILD_DIR]
#
# CROSS_BUILD_DIR (or $WIN32_BUILD) is the i686 cross build; default
# build-win32 next to this tree. This script builds nothing.
#
# Environment:
#   WIN64_BUILD        x86_64 build of the same sources (cmake with
#                      cmake/toolchain-x86_64-mingw.cmake), the test vehicle
#                      when this machine cannot run 32-bit programs and the
#                      native-speed helper for the 64-bit prefix;
#                      default build-win64 next to this tree.
#   WINE_CACHE         where the Wine prefixes are kept between runs;
#                      default $CROSS_BUILD_DIR/wine-cache.
#   WINE_32BIT_PREFIX  auto (default) | on | off: the 32-bit prefix. "auto"
#                      runs it only where 32-bit programs run natively, not
#                      under qemu emulation (too slow to create: see
#                      docs/windows-build.md).
#   WINE_WOW64         auto (default) | on | off: 32-bit programs in the
#                      64-bit prefix. "auto" runs them wherever 32-bit
#                      programs can run at all (natively or emulated).
#   WINE_KEEP_RUNS     1: keep the prefix copies and package folders of the
#                      direct installation runs (their paths are printed).
#   WINE_SCREENSHOT    where the dialog screenshot goes; default
#                      docs/installer-dialog.png of this tree ("" for none).
#
# Prints PASS/FAIL/SKIPPED per check and "N passed, N failed[, N skipped]";
# exits non-zero on any failure.
set -u

# One X server for the whole run.
if [ -z "${DISPLAY:-}" ] && [ -z "${WINE_TESTS_UNDER_XVFB:-}" ] && command -v xvfb-run >/dev/null; then
  WINE_TESTS_UNDER_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
BUILD32=$(cd "${1:-${WIN32_BUILD:-$ROOT/build-win32}}" 2>/dev/null && pwd) || {
  echo "no cross build directory: ${1:-${WIN32_BUILD:-$ROOT/build-win32}}" >&2
  exit 2
}
BUILD64=${WIN64_BUILD:-$ROOT/build-win64}
export WINE_CACHE=${WINE_CACHE:-$BUILD32/wine-cache}
SHOT=${WINE_SCREENSHOT-$ROOT/docs/installer-dialog.png}

source "$HERE/lib.sh"
source "$HERE/install_run.sh"

INSTALLER32=$BUILD32/Installer/QPR730_Installer.exe
INSTALLER64=$BUILD64/Installer/QPR730_Installer.exe
PROBE32=$BUILD32/tools/winprobe/winprobe.exe
PROBE64=$BUILD64/tools/winprobe/winprobe.exe
CHECK32=$BUILD32/tools/winprobe/platform_check.exe
CHECK64=$BUILD64/tools/winprobe/platform_check.exe

echo "== The program file"
source "$HERE/pe_checks.sh"
check_pe_file "$INSTALLER32"

echo "== What this machine can run"
detect_machine
echo "   $MACHINE_REPORT"

# ---------------------------------------------------------------------------
if [ "$CAN_RUN_64" != yes ]; then
  skip "all Wine runs" "$CAN_RUN_64_REASON"
  finish
fi

echo "== 64-bit prefix (Windows 7, the Wine default)"
PREFIX64=$WINE_CACHE/prefix64
timed "64-bit prefix ready" ensure_prefix "$PREFIX64" win64 win7
start_session "$PREFIX64" win64 default

# The helper of the 64-bit prefix runs at native speed when there is a
# 64-bit build of it.
PROBE_IN_64=$PROBE64
[ -f "$PROBE_IN_64" ] || PROBE_IN_64=$PROBE32

run_wow64=$(decide "${WINE_WOW64:-auto}" "$CAN_RUN_32" "$CAN_RUN_32_REASON")
if [ "$run_wow64" = yes ]; then
  if [ -f "$CHECK32" ]; then
    check_platform "WOW64" "$CHECK32" 1
  else
    skip "platform services under WOW64" "platform_check.exe not built in $BUILD32"
  fi
  if [ -f "$INSTALLER32" ]; then
    check_installer_log "WOW64 (Windows 7)" "$INSTALLER32" default \
      "2" "6" "1" "7601" "The process is running under WOW64."
    check_installer_dialog "WOW64 (nt40)" "$INSTALLER32" "$PROBE_IN_64" "$SHOT"
  else
    skip "installer under WOW64" "QPR730_Installer.exe not built in $BUILD32"
  fi
else
  skip "32-bit programs in the 64-bit prefix (WOW64)" "$run_wow64"
fi

# The x86_64 build of the same sources: the real Windows platform checked in
# a 64-bit process when 32-bit programs cannot run here (and always the
# platform services, which are quick).
if [ -f "$CHECK64" ]; then
  set_version default
  check_platform "64-bit process" "$CHECK64" 0
else
  skip "platform services in a 64-bit process" "no x86_64 build in $BUILD64"
fi
if [ "$run_wow64" != yes ]; then
  if [ -f "$INSTALLER64" ]; then
    echo "   (test vehicle: the x86_64 build; 32-bit programs not run: $run_wow64)"
    check_installer_log "64-bit vehicle (Windows 7)" "$INSTALLER64" default \
      "2" "6" "1" "7601" "The process is not running under WOW64."
    check_installer_dialog "64-bit vehicle (nt40)" "$INSTALLER64" "$PROBE_IN_64" "$SHOT"
  else
    skip "installer as a 64-bit vehicle" "QPR730_Installer.exe not built in $BUILD64"
  fi
fi
end_session

# The direct installation run for real, each run in its own copy of the
# 64-bit prefix: the x86_64 build, then the i686 build under WOW64.
echo "== Direct installation (64-bit prefix, copies)"
run_direct_installation_checks "$PREFIX64" "$BUILD64" "$BUILD32" "$run_wow64"

# ---------------------------------------------------------------------------
echo "== 32-bit prefix (Windows XP)"
run_32=$(decide "${WINE_32BIT_PREFIX:-auto}" "$CAN_RUN_32_NATIVE" "$CAN_RUN_32_NATIVE_REASON")
if [ "$run_32" = yes ]; then
  PREFIX32=$WINE_CACHE/prefix32
  timed "32-bit prefix ready" ensure_prefix "$PREFIX32" win32 winxp
  start_session "$PREFIX32" win32 winxp
  if [ -f "$CHECK32" ]; then
    check_platform "32-bit Windows" "$CHECK32" 0
  fi
  if [ -f "$INSTALLER32" ]; then
    check_installer_log "32-bit (winxp)" "$INSTALLER32" winxp \
      "2" "5" "1" "2600" "The process is not running under WOW64."
    check_installer_dialog "32-bit (nt40)" "$INSTALLER32" "$PROBE32" "$SHOT"
  else
    skip "installer in the 32-bit prefix" "QPR730_Installer.exe not built in $BUILD32"
  fi
  end_session
  run_direct_installation_32 "$PREFIX32" "$BUILD32"
else
  skip "32-bit prefix" "$run_32"
fi

finish
