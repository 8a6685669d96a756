# Helpers of the Wine tests: results, machine detection, prefixes, sessions,
# and the checks run in each prefix. Sourced by run.sh.

PASSED=0
FAILED=0
SKIPPED=0

pass() { PASSED=$((PASSED + 1)); echo "PASS $1"; }
fail() { FAILED=$((FAILED + 1)); echo "FAIL $1: $2"; }
skip() { SKIPPED=$((SKIPPED + 1)); echo "SKIPPED $1: $2"; }
info() { echo "   $*"; }

finish() {
  local line="$PASSED passed, $FAILED failed"
  [ "$SKIPPED" -gt 0 ] && line="$line, $SKIPPED skipped"
  echo "$line"
  [ "$FAILED" -eq 0 ]
  exit $?
}

# timed LABEL COMMAND...: runs the command and prints how long it took.
timed() {
  local label=$1 start end status
  shift
  start=$(date +%s)
  "$@"
  status=$?
  end=$(date +%s)
  info "$label: $((end - start)) s"
  return $status
}

# ---- what this machine can run ----------------------------------------------

WINE32_LOADER=/usr/lib/wine/wine
WINE64_LOADER=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver

# Sets CAN_RUN_64, CAN_RUN_32 (natively or emulated), CAN_RUN_32_NATIVE, each
# with a *_REASON when "no", and MACHINE_REPORT.
detect_machine() {
  CAN_RUN_64=no CAN_RUN_64_REASON=""
  CAN_RUN_32=no CAN_RUN_32_REASON=""
  CAN_RUN_32_NATIVE_REASON=""
  CAN_RUN_32_NATIVE=no
  EMULATED_32=no
  if ! command -v xvfb-run >/dev/null; then
    CAN_RUN_64_REASON="xvfb-run is missing (scripts/install-wine.sh installs it)"
  elif [ ! -x "$WINE64_LOADER" ]; then
    CAN_RUN_64_REASON="64-bit Wine is missing (scripts/install-wine.sh installs it)"
  else
    CAN_RUN_64=yes
  fi

  # An i386 ELF program goes to qemu when a binfmt entry sends it there.
  if grep -qs '^enabled' /proc/sys/fs/binfmt_misc/qemu-i386; then
    EMULATED_32=yes
    # Wine's 32-bit loader under qemu needs the whole 4 GB address space
    # reserved, or it cannot map the shared user data (c0000018).
    export QEMU_RESERVED_VA=0xffff0000
  fi
  if [ ! -x "$WINE32_LOADER" ]; then
    CAN_RUN_32_REASON="32-bit Wine (wine32:i386) is missing"
  elif ! "$WINE32_LOADER" --version >/dev/null 2>&1; then
    CAN_RUN_32_REASON="this kernel does not execute i386 programs and no emulator is registered"
  else
    CAN_RUN_32=yes
  fi
  if [ "$CAN_RUN_32" = yes ] && [ "$EMULATED_32" = no ]; then
    CAN_RUN_32_NATIVE=yes
  elif [ "$CAN_RUN_32" = yes ]; then
    CAN_RUN_32_NATIVE_REASON="32-bit programs run only under qemu-i386 emulation here; creating a 32-bit prefix that way takes over 10 minutes (WINE_32BIT_PREFIX=on forces it)"
  else
    CAN_RUN_32_NATIVE_REASON=$CAN_RUN_32_REASON
  fi

  MACHINE_REPORT="64-bit Wine: $CAN_RUN_64; 32-bit programs: $CAN_RUN_32"
  [ "$EMULATED_32" = yes ] && MACHINE_REPORT="$MACHINE_REPORT (emulated by qemu-i386)"
  [ "$CAN_RUN_32" = no ] && MACHINE_REPORT="$MACHINE_REPORT ($CAN_RUN_32_REASON)"
  return 0
}

# decide MODE CAPABLE REASON: prints "yes", or why not.
decide() {
  case "$1" in
    on) echo yes ;;
    off) echo "turned off" ;;
    *) if [ "$2" = yes ]; then echo yes; else echo "$3"; fi ;;
  esac
}

# ---- prefixes and sessions --------------------------------------------------

# Time limits, longer where 32-bit programs are emulated (a 32-bit program
# takes one to three minutes to start under qemu).
start_limit() { if [ "$EMULATED_32" = yes ]; then echo 600; else echo 90; fi; }

# wine_for ARCH: the loader that starts programs in a prefix of that kind
# (the 64-bit loader also starts 32-bit programs in a 64-bit prefix).
wine_for() { if [ "$1" = win64 ]; then echo "$WINE64_LOADER"; else echo "$WINE32_LOADER"; fi; }

# ensure_prefix DIR ARCH VERSION: creates the prefix once (cached), with a
# virtual desktop so that windows get frames without a window manager.
ensure_prefix() {
  local dir=$1 arch=$2 version=$3
  if [ -f "$dir/.prefix-ready" ]; then
    info "reusing $dir"
    return 0
  fi
  rm -rf "$dir"
  mkdir -p "$(dirname "$dir")"
  local wine
  wine=$(wine_for "$arch")
  WINEPREFIX=$dir WINEARCH=$arch WINEDEBUG=-all timeout 1800 "$wine" wineboot -i \
    >"$dir.wineboot.log" 2>&1
  WINEPREFIX=$dir WINEDEBUG=-all "$wine" reg add 'HKCU\Software\Wine\Explorer' \
    /v Desktop /d Default /f >/dev/null 2>&1
  WINEPREFIX=$dir WINEDEBUG=-all "$wine" reg add 'HKCU\Software\Wine\Explorer\Desktops' \
    /v Default /d 800x600 /f >/dev/null 2>&1
  WINEPREFIX=$dir "$WINESERVER" -w
  if [ -f "$dir/system.reg" ]; then
    touch "$dir/.prefix-ready"
    info "created $dir ($arch)"
  else
    fail "prefix $dir" "wineboot did not create it (see $dir.wineboot.log)"
    return 1
  fi
}

# start_session PREFIX ARCH VERSION: one wineserver for the checks in this
# prefix, which reports that Windows version (a cached prefix may still have
# the setting of an earlier check).
start_session() {
  export WINEPREFIX=$1 WINEARCH=$2 WINEDEBUG=-all
  WINE=$(wine_for "$2")
  "$WINESERVER" -p
  set_version "$3"
}

end_session() {
  "$WINESERVER" -k 2>/dev/null
  "$WINESERVER" -w 2>/dev/null
}

# set_version VERSION: the Windows release that Wine reports in this prefix;
# "default" removes the setting. (Wine 8 answers Windows 7 either way, but
# with the product type 1, workstation, only by default: an explicit "win7"
# answers 3, a server.)
set_version() {
  if [ "$1" = default ]; then
    "$WINE" reg delete 'HKCU\Software\Wine' /v Version /f >/dev/null 2>&1
  else
    "$WINE" reg add 'HKCU\Software\Wine' /v Version /d "$1" /f >/dev/null 2>&1
  fi
  return 0
}

installer_log() {
  find "$WINEPREFIX/drive_c/windows" -maxdepth 2 -iname 'QPR-730_Installer.txt' 2>/dev/null | head -1
}

remove_installer_log() {
  local log
  log=$(installer_log)
  [ -n "$log" ] && rm -f "$log"
}

# A package folder: the installer copied into a folder of its own.
make_package() {
  local pkg
  pkg=$(mktemp -d "$WINE_CACHE/package.XXXXXX")
  cp "$1" "$pkg/QPR730_Installer.exe"
  echo "$pkg"
}

# start_installer PKG: starts the installer in the package folder in the
# background; its exit status lands in PKG/exit.<n>.
start_installer() {
  local pkg=$1 n=$2
  (cd "$pkg" && "$WINE" QPR730_Installer.exe >"$pkg/out.$n" 2>&1; echo $? >"$pkg/exit.$n") &
}

# wait_for_file FILE SECONDS
wait_for_file() {
  local waited=0
  while [ ! -s "$1" ] && [ "$waited" -lt "$2" ]; do
    sleep 1
    waited=$((waited + 1))
  done
  [ -s "$1" ]
}

# stop_installer PKG N: ends a run that is still going (the installer may go
# on to further steps after the lines a check looks at).
stop_installer() {
  local pkg=$1 n=$2
  if [ ! -s "$pkg/exit.$n" ]; then
    "$WINE" taskkill /f /im QPR730_Installer.exe >/dev/null 2>&1
    wait_for_file "$pkg/exit.$n" 60
  fi
}

# ---- the checks ---------------------------------------------------------------

# check_platform LABEL EXE EXPECTED_WOW64: the real platform's services.
check_platform() {
  local label=$1 exe=$2 wow64=$3 out
  out=$(mktemp)
  local start=$(date +%s)
  timeout "$(start_limit)" "$WINE" "$exe" "$wow64" >"$out" 2>/dev/null
  info "platform_check ($label): $(($(date +%s) - start)) s"
  while read -r kind rest; do
    case "$kind" in
      PASS) pass "[$label] $rest" ;;
      FAIL) fail "[$label] ${rest%%:*}" "${rest#*: }" ;;
      INFO) info "$rest" ;;
    esac
  done < <(tr -d '\r' <"$out")
  grep -q '^DONE' "$out" || fail "[$label] platform_check" "did not finish"
  rm -f "$out"
}

# check_installer_log LABEL EXE VERSION PLATFORM MAJOR MINOR BUILD WOW64LINE:
# the log of a run with that Windows version setting.
check_installer_log() {
  local label=$1 exe=$2 version=$3 platform=$4 major=$5 minor=$6 build=$7 wowLine=$8
  set_version "$version"
  remove_installer_log
  local pkg log start
  pkg=$(make_package "$exe")
  start=$(date +%s)
  start_installer "$pkg" 1
  # The log is complete up to CheckOS once "CheckOS END" is in it.
  local waited=0 limit
  limit=$(start_limit)
  log=""
  while [ "$waited" -lt "$limit" ]; do
    log=$(installer_log)
    [ -n "$log" ] && grep -q 'CheckOS END' "$log" && break
    sleep 1
    waited=$((waited + 1))
  done
  info "installer start to CheckOS END ($label): $(($(date +%s) - start)) s"
  if [ -z "$log" ] || ! grep -q 'CheckOS END' "$log"; then
    fail "[$label] log C:\\windows\\Temp\\QPR-730_Installer.txt" "not written within $limit s"
    stop_installer "$pkg" 1
    rm -rf "$pkg"
    return
  fi
  pass "[$label] log C:\\windows\\Temp\\QPR-730_Installer.txt written"
  local lines
  lines=$(tr -d '\r' <"$log" | cut -c11-)
  local answered
  answered=$(grep -E '^osvi\.' <<<"$lines" | sed 's/ *: /=/' | tr '\n' ' ')
  info "Wine answered: $answered"
  if grep -qx "osvi.dwPlatformID   : $platform" <<<"$lines" &&
     grep -qx "osvi.dwMajorVersion : $major" <<<"$lines" &&
     grep -qx "osvi.dwMinorVersion : $minor" <<<"$lines" &&
     grep -qx "osvi.dwBuildNumber  : $build" <<<"$lines"; then
    pass "[$label] CheckOS logged platform $platform, $major.$minor build $build"
  else
    fail "[$label] CheckOS values" "expected platform $platform, $major.$minor build $build; log has $answered"
  fi
  if grep -qxF "$wowLine" <<<"$lines"; then
    pass "[$label] log says \"$wowLine\""
  else
    fail "[$label] WOW64 line" "expected \"$wowLine\"; log has \"$(grep -i wow64 <<<"$lines")\""
  fi
  # Let the run end by itself when it does (XP and 7: the dialog ends after
  # the OS gate), otherwise end it.
  wait_for_file "$pkg/exit.1" 30 || true
  stop_installer "$pkg" 1
  [ -s "$pkg/exit.1" ] && info "first run's exit status: $(cat "$pkg/exit.1")"
  rm -rf "$pkg"
}

# check_installer_dialog LABEL EXE PROBE SCREENSHOT: with Windows NT 4.0
# reported, the OS gate's message box keeps the progress dialog up: its
# texts, a screenshot, a second instance that must end at once without a
# log, and the answer to the box.
check_installer_dialog() {
  local label=$1 exe=$2 probe=$3 shot=$4
  local box="QPR730_Installer" dialog="Installation Progress"
  local limit pkg log out
  limit=$(start_limit)
  set_version nt40
  remove_installer_log
  pkg=$(make_package "$exe")
  out=$(mktemp)
  local start=$(date +%s)
  start_installer "$pkg" 1
  timeout $((limit + 60)) "$WINE" "$probe" box "$box" "$limit" sleep 1000 texts "$box" \
    wait "$dialog" 30 texts "$dialog" move "$box" 420 330 >"$out" 2>/dev/null
  tr -d '\r' <"$out" >"$out.txt"
  info "installer start to message box ($label): $(($(date +%s) - start)) s"

  if grep -q "^FOUND $box " "$out.txt" &&
     grep -q " THE DRIVER CAN NOT BE INSTALLED ON THIS OS\.$" "$out.txt"; then
    pass "[$label] message box \"$box\": \"THE DRIVER CAN NOT BE INSTALLED ON THIS OS.\""
  else
    fail "[$label] OS gate message box" "$(grep -E '^(FAIL|TEXT)' "$out.txt" | head -5 | tr '\n' ' ')"
  fi
  if grep -q "^FOUND $dialog visible=1" "$out.txt"; then
    pass "[$label] \"$dialog\" window shown"
  else
    fail "[$label] \"$dialog\" window shown" "$(grep -E "^(FOUND $dialog|FAIL wait)" "$out.txt")"
  fi
  if grep -q '^TEXT 1001 Static Driver Version: V1.2.0$' "$out.txt"; then
    pass "[$label] control 1001 reads \"Driver Version: V1.2.0\""
  else
    fail "[$label] control 1001" "$(grep '^TEXT 1001 ' "$out.txt" | head -2 | tr '\n' ' ')"
  fi

  if [ -n "$shot" ] && grep -q "^FOUND $dialog" "$out.txt"; then
    mkdir -p "$(dirname "$shot")"
    sleep 1
    if import -window root -crop 800x600+0+0 +repage "$shot" 2>/dev/null && [ -s "$shot" ]; then
      pass "[$label] screenshot saved to ${shot#$ROOT/}"
    else
      fail "[$label] screenshot" "import failed"
    fi
  fi

  # A second start of the same program file while the first runs.
  log=$(installer_log)
  local before=""
  [ -n "$log" ] && before=$(md5sum <"$log")
  start=$(date +%s)
  start_installer "$pkg" 2
  if wait_for_file "$pkg/exit.2" "$limit"; then
    local after=""
    [ -n "$log" ] && [ -f "$log" ] && after=$(md5sum <"$log")
    info "second instance ran $(($(date +%s) - start)) s, exit status $(cat "$pkg/exit.2")"
    if [ -n "$before" ] && [ "$before" = "$after" ] && [ ! -s "$pkg/exit.1" ]; then
      pass "[$label] second instance ends at once, first still running, log untouched"
    else
      fail "[$label] second instance" "log changed or the first instance is gone"
    fi
  else
    fail "[$label] second instance" "still running after $limit s"
  fi

  # Answer the box; the first instance then ends.
  timeout $((limit + 60)) "$WINE" "$probe" click "$box" 1 gone "$dialog" 60 >"$out" 2>/dev/null
  if wait_for_file "$pkg/exit.1" 120; then
    pass "[$label] first instance ends after the box is answered (exit status $(cat "$pkg/exit.1"))"
  else
    fail "[$label] first instance ends" "$(tr -d '\r' <"$out" | tr '\n' ' ')"
    stop_installer "$pkg" 1
  fi
  rm -f "$out" "$out.txt"
  rm -rf "$pkg"
}
