# The installer's direct installation (AddToWin2K, printer on COM1) run for
# real under Wine by tools/wine_install/install_check.exe, then checked in
# what it left: files, registry, INF store, the spooler's objects, the log
# and the exit status. Sourced by run.sh (uses lib.sh's helpers).
#
# Each run gets a fresh copy of the 64-bit prefix, so that the cached prefix
# stays clean and every run starts without the driver. Runs with the x86_64
# build (seconds); the i686 build under WOW64 needs several minutes per start
# under emulation and is not run here.
#
#   run_direct_installation_checks PREFIX64 BUILD64
#
# Two runs, both with Windows XP reported (the direct installation's
# releases):
#  - "Windows NT x86": the 64-bit process as it is (not under WOW64): the
#    driver goes to the "Windows NT x86" environment with the Driver32 files,
#    the product files also to the Windows folder, the monitor to the system
#    folder. The spooler of a 64-bit process does not take a driver of
#    another environment for a printer: AddPrinter fails and the installer
#    ends with its failure status.
#  - "as under WOW64": install_check's "wow64" argument makes the installer
#    take the WOW64 path (the real target: the 32-bit installer on 64-bit
#    Windows): "Windows x64", the Driver64 files, the monitor in the Windows
#    folder; this run goes through to the restart question, answered "No".

INSTALL_FIXTURES=$HERE/fixtures
# The package's driver files that the installer stages and registers.
DRIVER_FILES="UNIDRV.DLL UNIDRVUI.DLL UNIDRV.HLP UNIRES.DLL QPR730.dll QPUI730.dll QPUNI730.dll QPUI730.INI QPR730.GPD STDNAMES.GPD"
# The product's own files among them, which 32-bit Windows also gets in the
# Windows folder.
WINDOWS_FOLDER_FILES="QPR730.dll QPUI730.dll QPUNI730.dll QPUI730.INI QPR730.GPD"
UNINSTALL_KEY='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\HALVORN_QPR-730'
RESTART_TEXT='Restarting your computer can take effect.|Please restart your computer.'

# make_install_package BUILD: a package folder as the installer expects it
# beside itself; prints its path. The Unidrv core files are small stand-ins
# (the spooler checks only that they exist); the monitor and the processor
# are the fixture DLLs built for this build's architecture.
make_install_package() {
  local build=$1 pkg folder name
  pkg=$(mktemp -d "$WINE_CACHE/install.XXXXXX")
  cp "$build/tools/wine_install/install_check.exe" "$pkg/"
  for folder in Driver32 Driver64; do
    mkdir "$pkg/$folder"
    for name in $DRIVER_FILES; do
      echo "$name of the test package, $folder" >"$pkg/$folder/$name"
    done
    cp "$build/tools/wine_install/fixture_monitor.dll" "$pkg/$folder/QPMON730.dll"
    cp "$build/tools/wine_install/fixture_processor.dll" "$pkg/$folder/QPPRO730.dll"
    cp "$INSTALL_FIXTURES/QPR730.inf" "$pkg/$folder/QPR730.inf"
  done
  echo "MZ the uninstaller of the test package" >"$pkg/QPR730_Uninstaller.exe"
  printf '[QPR730]\r\nPORTDLG=TRUE\r\n' >"$pkg/QPR730_Config.HVN"
  echo "$pkg"
}

# files_missing DIR NAMES...: prints the names not in DIR (names compared
# without case, as Windows does).
files_missing() {
  local dir=$1 name missing=""
  shift
  for name in "$@"; do
    find "$dir" -maxdepth 1 -iname "$name" 2>/dev/null | grep -q . || missing="$missing $name"
  done
  echo "${missing# }"
}

# files_present DIR NAMES...: prints the names that are in DIR.
files_present() {
  local dir=$1 name present=""
  shift
  for name in "$@"; do
    find "$dir" -maxdepth 1 -iname "$name" 2>/dev/null | grep -q . && present="$present $name"
  done
  echo "${present# }"
}

# expect_files LABEL WHAT DIR NAMES...: PASS when all are there.
expect_files() {
  local label=$1 what=$2 dir=$3 missing
  shift 3
  missing=$(files_missing "$dir" "$@")
  if [ -z "$missing" ]; then
    pass "[$label] $what"
  else
    fail "[$label] $what" "missing in ${dir#$WINEPREFIX/}: $missing"
  fi
}

# expect_no_files LABEL WHAT DIR NAMES...: PASS when none is there.
expect_no_files() {
  local label=$1 what=$2 dir=$3 present
  shift 3
  present=$(files_present "$dir" "$@")
  if [ -z "$present" ]; then
    pass "[$label] $what"
  else
    fail "[$label] $what" "still in ${dir#$WINEPREFIX/}: $present"
  fi
}

# expect_same_file LABEL WHAT EXPECTED ACTUAL
expect_same_file() {
  if [ -f "$4" ] && cmp -s "$3" "$4"; then
    pass "[$1] $2"
  else
    fail "[$1] $2" "${4#$WINEPREFIX/} missing or different"
  fi
}

# expect_line LABEL WHAT FILE LINE: PASS when FILE has exactly that line.
expect_line() {
  if grep -qxF "$4" "$3"; then
    pass "[$1] $2"
  else
    fail "[$1] $2" "no line \"$4\"; has: $(grep -E "^${4%% *} " "$3" | head -3 | tr '\n' ' ')"
  fi
}

# registry_value KEY NAME: the data of a REG_SZ value as reg query prints it.
registry_value() {
  "$WINE" reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
    sed -n "s/^ *$2 *REG_SZ *//p"
}

# run_install_check LABEL BUILD PROBE MODE: runs install_check in a fresh
# package folder and answers its message boxes until it ends: "No" (7) to
# the restart question, OK (1) to any other box. Sets PKG, BOXES (one line
# per box, its text with line breaks as "|") and EXIT_STATUS.
run_install_check() {
  local label=$1 build=$2 probe=$3 mode=$4 start round text button
  PKG=$(make_install_package "$build")
  BOXES=$PKG/boxes
  : >"$BOXES"
  remove_installer_log
  start=$(date +%s)
  (cd "$PKG" && "$WINE" install_check.exe $mode >"$PKG/out" 2>/dev/null; echo $? >"$PKG/exit") &
  for round in 1 2 3 4 5 6; do
    [ -s "$PKG/exit" ] && break
    timeout 60 "$WINE" "$probe" box install_check 30 texts install_check 2>/dev/null |
      tr -d '\r' >"$PKG/probe"
    text=$(sed -n 's/^TEXT 65535 Static //p' "$PKG/probe" | head -1)
    [ -z "$text" ] && continue
    echo "$text" >>"$BOXES"
    button=1
    [[ "$text" == "$RESTART_TEXT"* ]] && button=7
    timeout 60 "$WINE" "$probe" click install_check "$button" sleep 1000 >/dev/null 2>&1
  done
  wait_for_file "$PKG/exit" 30 || "$WINE" taskkill /f /im install_check.exe >/dev/null 2>&1
  wait_for_file "$PKG/exit" 30
  tr -d '\r' <"$PKG/out" >"$PKG/report"
  EXIT_STATUS=$(cat "$PKG/exit" 2>/dev/null)
  info "install_check ($label): $(($(date +%s) - start)) s, exit status ${EXIT_STATUS:-none}"
  local line
  while read -r line; do info "message box: \"$line\""; done <"$BOXES"
}

# expect_log LABEL ENDS LAST: the log of the run has "AddToWin2K BEGIN",
# then that many "AddToWin2K END" lines, and ends with the line LAST.
expect_log() {
  local label=$1 ends=$2 last=$3 log lines
  log=$(installer_log)
  if [ -z "$log" ]; then
    fail "[$label] log" "C:\\windows\\Temp\\QPR-730_Installer.txt not written"
    return
  fi
  lines=$(tr -d '\r' <"$log" | cut -c11- | sed -n '/^AddToWin2K BEGIN$/,$p')
  local found
  found=$(grep -cx 'AddToWin2K END' <<<"$lines")
  if grep -qx 'AddToWin2K BEGIN' <<<"$lines" && [ "$found" -eq "$ends" ] &&
     [ "$(tail -1 <<<"$lines")" = "$last" ]; then
    pass "[$label] log: AddToWin2K BEGIN, $ends \"AddToWin2K END\", last \"$last\""
  else
    fail "[$label] log" "AddToWin2K BEGIN, $found END lines, last \"$(tail -1 <<<"$lines")\"; expected $ends, \"$last\""
  fi
}

# ---- the run for "Windows NT x86" -------------------------------------------

check_install_x86_environment() {
  local label=$1 build=$2 probe=$3
  local windows=$WINEPREFIX/drive_c/windows
  local drivers=$windows/system32/spool/drivers/w32x86
  run_install_check "$label" "$build" "$probe" ""

  # Each failed registration step shows its own box: with AddPrinter's box
  # the only one, the monitor, the processor and the driver were taken.
  local text
  text=$(tr '\n' '/' <"$BOXES")
  if [[ "$text" == "AddPrinter, Error Code: "*"/" ]] && [ "$(wc -l <"$BOXES")" -eq 1 ]; then
    pass "[$label] monitor, processor and driver registered; the printer refused (driver of another environment)"
  else
    fail "[$label] message boxes" "expected only AddPrinter's error, got \"$text\""
  fi
  # ExitProcess(1603); Wine passes its low byte on as the exit status.
  if [ "$EXIT_STATUS" = $((1603 & 255)) ]; then
    pass "[$label] installer ends with 1603 (exit status $EXIT_STATUS, the low byte)"
  else
    fail "[$label] exit status" "expected $((1603 & 255)) (1603), got ${EXIT_STATUS:-none}"
  fi
  expect_files "$label" "driver files in the driver folder's version-3 folder" "$drivers/3" $DRIVER_FILES
  expect_files "$label" "product files in the Windows folder (32-bit Windows)" "$windows" $WINDOWS_FOLDER_FILES
  expect_same_file "$label" "monitor DLL in the system folder" \
    "$PKG/Driver32/QPMON730.dll" "$windows/system32/QPMON730.dll"
  expect_same_file "$label" "print processor DLL in the processor folder" \
    "$PKG/Driver32/QPPRO730.dll" "$windows/system32/spool/prtprocs/w32x86/QPPRO730.dll"
  # The process ends in AddPrinterToSystem: no "AddToWin2K END".
  expect_log "$label" 0 "AddPrinterToSystem END"
}

# ---- the run as under WOW64 ---------------------------------------------------

check_install_as_wow64() {
  local label=$1 build=$2 probe=$3
  local windows=$WINEPREFIX/drive_c/windows
  local drivers=$windows/system32/spool/drivers/x64
  run_install_check "$label" "$build" "$probe" wow64

  if [[ "$(tail -1 "$BOXES")" == "$RESTART_TEXT"* ]]; then
    pass "[$label] restart question asked last, answered No"
  else
    fail "[$label] restart question" "last message box: \"$(tail -1 "$BOXES")\""
  fi
  # The one box Wine adds: SetupCopyOEMInfA refuses the relative source path
  # ".\Driver64\QPR730.inf" with error 2 (its documentation asks for a
  # full path). Any other box is a failed step.
  local others
  others=$(grep -v -e "^$RESTART_TEXT" -e '^SetupCopyOEMInf, ERR CODE: 2|' "$BOXES" | tr '\n' '/')
  if [ -z "$others" ]; then
    pass "[$label] no step failed but the INF copy"
  else
    fail "[$label] message boxes" "$others"
  fi
  local infRefused=no
  grep -q '^SetupCopyOEMInf, ERR CODE: 2|' "$BOXES" && infRefused=yes
  if [ "$EXIT_STATUS" = 0 ] && grep -qx 'EXIT 0' "$PKG/report"; then
    pass "[$label] exit status 0"
  else
    fail "[$label] exit status" "got ${EXIT_STATUS:-none}, report: $(grep '^EXIT' "$PKG/report")"
  fi

  # What the spooler reports.
  local report=$PKG/report
  expect_line "$label" "printer on COM1: with the own processor, RAW" "$report" \
    "PRINTER HALVORN QPR-730|COM1:|HALVORN QPR-730|HVN PRINT PROCESSOR QPR730|RAW|0x$(printf %x $((0x800 | 0x1000)))"
  local driver
  driver=$(grep '^DRIVER HALVORN QPR-730|' "$report")
  if [[ "$driver" == "DRIVER HALVORN QPR-730|3|Windows x64|"*"\\x64\\3\\UNIDRV.DLL|"*"\\x64\\3\\QPR730.GPD|"*"\\x64\\3\\UNIDRVUI.DLL|HVN Language Monitor QPR730" ]]; then
    pass "[$label] driver version 3, \"Windows x64\", files in x64\\3, the language monitor"
  else
    fail "[$label] driver" "${driver:-not reported}"
  fi
  if grep -q '^MONITOR HVN Language Monitor QPR730|' "$report"; then
    pass "[$label] language monitor registered"
    info "Wine reports it as: $(grep '^MONITOR HVN' "$report")"
  else
    fail "[$label] language monitor" "not reported: $(grep '^MONITOR' "$report" | tr '\n' ' ')"
  fi
  expect_line "$label" "print processor registered" "$report" "PROCESSOR HVN PRINT PROCESSOR QPR730"

  expect_files "$label" "driver files in the driver folder's version-3 folder" "$drivers/3" $DRIVER_FILES
  expect_no_files "$label" "staged driver files removed from the driver folder" "$drivers" $DRIVER_FILES
  expect_no_files "$label" "no product files in the Windows folder (64-bit Windows)" "$windows" $WINDOWS_FOLDER_FILES
  expect_same_file "$label" "monitor DLL in the Windows folder" \
    "$PKG/Driver64/QPMON730.dll" "$windows/QPMON730.dll"
  expect_same_file "$label" "print processor DLL in the processor folder" \
    "$PKG/Driver64/QPPRO730.dll" "$windows/system32/spool/prtprocs/x64/QPPRO730.dll"

  # The INF store: Wine keeps the file's own name (Windows: oem<N>.inf).
  local stored
  stored=$(find "$windows/inf" -maxdepth 1 -type f -exec cmp -s "$INSTALL_FIXTURES/QPR730.inf" {} \; -print | head -1)
  if [ "$infRefused" = yes ]; then
    info "Wine answered SetupCopyOEMInfA(\".\\Driver64\\QPR730.inf\", ...) with error 2 (file not found)"
    if [ -z "$stored" ]; then
      pass "[$label] INF store untouched after the refused copy"
    else
      fail "[$label] INF store" "a copy exists although the call failed: $(basename "$stored")"
    fi
  elif [ -n "$stored" ]; then
    pass "[$label] package INF copied to the INF store"
    info "Wine stored it as C:\\windows\\inf\\$(basename "$stored")"
  else
    fail "[$label] INF store" "no copy of QPR730.inf in C:\\windows\\inf"
  fi

  # The uninstall registration.
  local name uninstall inf
  name=$(registry_value "$UNINSTALL_KEY" DisplayName)
  uninstall=$(registry_value "$UNINSTALL_KEY" UninstallString)
  inf=$(registry_value "$UNINSTALL_KEY" InfFile)
  if [ "$name" = "HALVORN QPR-730 Windows Driver V1.2.0" ]; then
    pass "[$label] uninstall key: DisplayName \"$name\""
  else
    fail "[$label] uninstall key DisplayName" "\"$name\""
  fi
  if [ "${uninstall,,}" = 'c:\windows\qpr-730\qpr730_uninstaller.exe' ]; then
    pass "[$label] uninstall key: UninstallString \"$uninstall\""
  else
    fail "[$label] uninstall key UninstallString" "\"$uninstall\""
  fi
  if [ "$infRefused" = yes ]; then
    # A failed copy leaves the name empty: no InfFile value.
    # Wine 8 leaves text in the name buffer of the failed call, which the
    # installer then writes; stated, not checked.
    if "$WINE" reg query "$UNINSTALL_KEY" /v InfFile >/dev/null 2>&1; then
      info "InfFile written after the failed INF copy: \"$inf\" (what Wine's failed call left in the name buffer)"
    else
      pass "[$label] uninstall key: no InfFile value after the failed INF copy"
    fi
  elif [ -n "$stored" ] && [ "${inf,,}" = "c:\\windows\\inf\\$(basename "${stored,,}")" ]; then
    pass "[$label] uninstall key: InfFile \"$inf\" (the store's copy)"
  else
    fail "[$label] uninstall key InfFile" "\"$inf\""
  fi

  # The utility folder and the second copy of the configuration file.
  local utility=$windows/QPR-730
  expect_same_file "$label" "uninstaller in C:\\windows\\QPR-730" \
    "$PKG/QPR730_Uninstaller.exe" "$utility/QPR730_Uninstaller.exe"
  expect_same_file "$label" "configuration file in C:\\windows\\QPR-730" \
    "$PKG/QPR730_Config.HVN" "$utility/QPR730_Config.HVN"
  expect_same_file "$label" "configuration file in the system folder" \
    "$PKG/QPR730_Config.HVN" "$windows/system32/QPR730_Config.HVN"
  # "No": one "AddToWin2K END" (a "Yes" logs one more before the restart).
  expect_log "$label" 1 "AddToWin2K END"
}

# run_direct_installation_checks PREFIX64 BUILD64: both runs, each in its own
# copy of the prefix. Call outside a session.
run_direct_installation_checks() {
  local prefix=$1 build=$2
  local probe=$build/tools/winprobe/winprobe.exe
  if [ ! -f "$build/tools/wine_install/install_check.exe" ] || [ ! -f "$probe" ]; then
    skip "direct installation under Wine" "install_check.exe or winprobe.exe not built in $build"
    return
  fi
  local mode copy
  for mode in x86 wow64; do
    copy=$(mktemp -d "$WINE_CACHE/prefix-install.XXXXXX")
    cp -a "$prefix/." "$copy/"
    start_session "$copy" win64 winxp
    if [ "$mode" = x86 ]; then
      check_install_x86_environment "direct installation, Windows NT x86" "$build" "$probe"
    else
      check_install_as_wow64 "direct installation, as under WOW64" "$build" "$probe"
    fi
    end_session
    rm -rf "$PKG" "$copy"
  done
  skip "direct installation by the i686 build under WOW64" \
    "a 32-bit program takes minutes per start under qemu emulation here"
}
