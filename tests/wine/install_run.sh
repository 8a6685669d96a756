# The installer's direct installation (AddToWin2K, printer on COM1) run for
# real under Wine by tools/wine_install/install_check.exe, then checked in
# what it left: files, registry, INF store, the spooler's objects, the log
# and the exit status. Sourced by run.sh (uses lib.sh's helpers).
#
# Each run gets a fresh copy of its prefix, so that the cached prefix stays
# clean and every run starts without the driver. All runs report Windows XP
# (the direct installation's releases).
#
#   run_direct_installation_checks PREFIX64 BUILD64 BUILD32 RUN_WOW64
#   run_direct_installation_32 PREFIX32 BUILD32
#
# In the 64-bit prefix:
#  - "Windows NT x86": the x86_64 build as it is (not under WOW64): the
#    driver goes to the "Windows NT x86" environment with the Driver32 files,
#    the product files also to the Windows folder, the monitor to the system
#    folder. The spooler of a 64-bit process does not take a driver of
#    another environment for a printer: AddPrinter fails and the installer
#    ends with its failure status (seconds).
#  - "as under WOW64": install_check's "wow64" argument makes the x86_64
#    build take the WOW64 road: "Windows x64", the Driver64 files, the
#    monitor in the Windows folder; through to the restart question,
#    answered "No" (seconds).
#  - "i686 under WOW64": the real 32-bit program on that road. Wine's
#    spooler runs in the calling process: a 32-bit one refuses the printer
#    for the "Windows x64" driver, as the 64-bit one does for "Windows NT
#    x86" in the first run.
#  - "i686 on the road of 32-bit Windows": the real 32-bit program made to
#    take that road ("x86"), with Wine's 32-bit spooler: through to the
#    restart question.
# The i686 runs take minutes where 32-bit code runs under emulation.
# In the 32-bit prefix: the i686 build on 32-bit Windows XP, through to the
# restart question.

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

# folder_name DIR: a folder of the prefix as Windows names it.
folder_name() {
  local path=${1#$WINEPREFIX/drive_c}
  echo "C:${path//\//\\}"
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

# expect_road_files LABEL ARCH PACKAGE MONITOR_DIR: the files a road leaves
# (ARCH w32x86 or x64, PACKAGE Driver32 or Driver64): the driver files in the
# driver folder's version-3 folder, the product files also in the Windows
# folder on 32-bit Windows only, the monitor DLL in MONITOR_DIR and the
# print processor DLL in the processor folder.
expect_road_files() {
  local label=$1 arch=$2 package=$3 monitorDir=$4
  local windows=$WINEPREFIX/drive_c/windows
  expect_files "$label" "driver files in the driver folder's version-3 folder" \
    "$windows/system32/spool/drivers/$arch/3" $DRIVER_FILES
  if [ "$arch" = w32x86 ]; then
    expect_files "$label" "product files in the Windows folder (32-bit Windows)" "$windows" $WINDOWS_FOLDER_FILES
  else
    expect_no_files "$label" "no product files in the Windows folder (64-bit Windows)" "$windows" $WINDOWS_FOLDER_FILES
  fi
  expect_same_file "$label" "monitor DLL in $(folder_name "$monitorDir")" \
    "$PKG/$package/QPMON730.dll" "$monitorDir/QPMON730.dll"
  expect_same_file "$label" "print processor DLL in the processor folder" \
    "$PKG/$package/QPPRO730.dll" "$windows/system32/spool/prtprocs/$arch/QPPRO730.dll"
}

# registry_value KEY NAME: the data of a REG_SZ value as reg query prints it.
registry_value() {
  "$WINE" reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
    sed -n "s/^ *$2 *REG_SZ *//p"
}

# run_install_check LABEL BUILD PROBE MODE [LIMIT]: runs install_check in a
# fresh package folder and answers its message boxes until it ends or LIMIT
# seconds (default 180) have passed: "No" (7) to the restart question, OK
# (1) to any other box. Sets PKG, BOXES (one line per box, its text with
# line breaks as "|") and EXIT_STATUS.
run_install_check() {
  local label=$1 build=$2 probe=$3 mode=$4 limit=${5:-180} start text button
  PKG=$(make_install_package "$build")
  BOXES=$PKG/boxes
  : >"$BOXES"
  remove_installer_log
  start=$(date +%s)
  (cd "$PKG" && "$WINE" install_check.exe $mode >"$PKG/out" 2>/dev/null; echo $? >"$PKG/exit") &
  # Boxes are answered until the program ends or its time is up: a
  # 32-bit program under emulation takes minutes to start.
  local deadline=$((start + limit))
  while [ ! -s "$PKG/exit" ] && [ "$(date +%s)" -lt "$deadline" ]; do
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

# ---- a run whose printer Wine refuses ----------------------------------------

# Wine's spooler runs inside the calling process and takes for a printer only
# a driver of that process's own environment. So a process whose road
# registers the driver for the other environment gets its monitor,
# processor and driver registered and its printer refused (87), and the
# installer ends with its failure status after AddPrinter's box.
#
# check_install_printer_refused LABEL BUILD PROBE KIND [LIMIT]: KIND is
#   x86    the x86_64 build on its own road: "Windows NT x86", the Driver32
#          files, the product files also in the Windows folder, the monitor
#          in the system folder;
#   wow64  the i686 build under WOW64 on the WOW64 road: "Windows x64", the
#          Driver64 files, the monitor in the Windows folder.
check_install_printer_refused() {
  local label=$1 build=$2 probe=$3 kind=$4 limit=${5:-180}
  local windows=$WINEPREFIX/drive_c/windows
  local environment="Windows NT x86" arch=w32x86 package=Driver32 monitorDir=$windows/system32
  if [ "$kind" = wow64 ]; then
    environment="Windows x64" arch=x64 package=Driver64 monitorDir=$windows
  fi
  run_install_check "$label" "$build" "$probe" "" "$limit"

  # Each failed registration step shows its own box: with AddPrinter's box
  # the only one, the monitor, the processor and the driver were taken.
  local text
  text=$(tr '\n' '/' <"$BOXES")
  if [[ "$text" == "AddPrinter, Error Code: "*"/" ]] && [ "$(wc -l <"$BOXES")" -eq 1 ]; then
    pass "[$label] only AddPrinter's error box (driver of another environment)"
  else
    fail "[$label] message boxes" "expected only AddPrinter's error, got \"$text\""
  fi
  # The process ends before the report: the registrations as the registry
  # holds them.
  local print='HKLM\System\CurrentControlSet\Control\Print'
  local environmentKey="$print\\Environments\\$environment"
  if [ "$(registry_value "$environmentKey\\Drivers\\Version-3\\HALVORN QPR-730" Monitor)" = "HVN Language Monitor QPR730" ]; then
    pass "[$label] driver registered for \"$environment\" with the language monitor"
  else
    fail "[$label] driver" "no \"$environment\" driver naming the monitor"
  fi
  if "$WINE" reg query "$environmentKey\\Print Processors\\HVN PRINT PROCESSOR QPR730" >/dev/null 2>&1 &&
     "$WINE" reg query "$print\\Monitors\\HVN Language Monitor QPR730" >/dev/null 2>&1; then
    pass "[$label] language monitor and print processor registered"
  else
    fail "[$label] monitor or processor" "not in the registry"
  fi
  # ExitProcess(1603); Wine passes its low byte on as the exit status.
  if [ "$EXIT_STATUS" = $((1603 & 255)) ]; then
    pass "[$label] installer ends with 1603 (exit status $EXIT_STATUS, the low byte)"
  else
    fail "[$label] exit status" "expected $((1603 & 255)) (1603), got ${EXIT_STATUS:-none}"
  fi
  expect_road_files "$label" "$arch" "$package" "$monitorDir"
  # The process ends in AddPrinterToSystem: no "AddToWin2K END".
  expect_log "$label" 0 "AddPrinterToSystem END"
}

# ---- a run that goes through -------------------------------------------------

# check_install_success LABEL BUILD PROBE KIND [LIMIT]: a run that must go
# through to the restart question (answered "No"). KIND says which road:
#   x86      the 32-bit installer on 32-bit Windows: "Windows NT x86", the
#            Driver32 files, the product files also in the Windows folder,
#            the monitor in the system folder;
#   x86-on-wow64  the i686 build under WOW64 made to take that road ("x86"):
#            its system folder is SysWOW64 (file system redirection) and
#            its uninstall key is in the 32-bit view of the registry;
#   vehicle  the x86_64 build made to take the WOW64 road ("wow64");
#   wow64    the 32-bit installer under WOW64: the WOW64 road, its system
#            folder SysWOW64.
# The WOW64 road: "Windows x64", the Driver64 files, the monitor in the
# Windows folder, no product files in the Windows folder, the uninstall key
# in the 64-bit view.
check_install_success() {
  local label=$1 build=$2 probe=$3 kind=$4 limit=${5:-180}
  local windows=$WINEPREFIX/drive_c/windows
  local mode="" environment="Windows x64" arch=x64 package=Driver64
  local monitorDir=$windows systemDir=$windows/system32 uninstallKey=$UNINSTALL_KEY
  case $kind in
    x86|x86-on-wow64)
      environment="Windows NT x86" arch=w32x86 package=Driver32 monitorDir=$windows/system32
      if [ "$kind" = x86-on-wow64 ]; then
        mode=x86 monitorDir=$windows/syswow64 systemDir=$windows/syswow64
        uninstallKey=${UNINSTALL_KEY/SOFTWARE/SOFTWARE\\Wow6432Node}
      fi ;;
    vehicle) mode=wow64 ;;
    wow64) systemDir=$windows/syswow64 ;;
  esac
  local drivers=$windows/system32/spool/drivers/$arch
  run_install_check "$label" "$build" "$probe" "$mode" "$limit"

  if [[ "$(tail -1 "$BOXES")" == "$RESTART_TEXT"* ]]; then
    pass "[$label] restart question asked last, answered No"
  else
    fail "[$label] restart question" "last message box: \"$(tail -1 "$BOXES")\""
  fi
  # Wine may refuse the INF copy (its own box); any other box is a failed
  # step.
  local others
  others=$(grep -v -e "^$RESTART_TEXT" -e '^SetupCopyOEMInf, ERR CODE: 2|' "$BOXES" | tr '\n' '/')
  if [ -z "$others" ]; then
    pass "[$label] no step failed"
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
  if [[ "$driver" == "DRIVER HALVORN QPR-730|3|$environment|"*"\\$arch\\3\\UNIDRV.DLL|"*"\\$arch\\3\\QPR730.GPD|"*"\\$arch\\3\\UNIDRVUI.DLL|HVN Language Monitor QPR730" ]]; then
    pass "[$label] driver version 3, \"$environment\", files in $arch\\3, the language monitor"
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

  expect_road_files "$label" "$arch" "$package" "$monitorDir"
  expect_no_files "$label" "staged driver files removed from the driver folder" "$drivers" $DRIVER_FILES

  # The INF store: Wine keeps the file's own name (Windows: oem<N>.inf).
  local stored
  stored=$(find "$windows/inf" -maxdepth 1 -type f -exec cmp -s "$INSTALL_FIXTURES/QPR730.inf" {} \; -print | head -1)
  if [ "$infRefused" = yes ]; then
    info "Wine answered SetupCopyOEMInfA for $package\\QPR730.inf with error 2 (file not found)"
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
  name=$(registry_value "$uninstallKey" DisplayName)
  uninstall=$(registry_value "$uninstallKey" UninstallString)
  inf=$(registry_value "$uninstallKey" InfFile)
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
    if "$WINE" reg query "$uninstallKey" /v InfFile >/dev/null 2>&1; then
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
  expect_same_file "$label" "configuration file in the system folder, $(folder_name "$systemDir")" \
    "$PKG/QPR730_Config.HVN" "$systemDir/QPR730_Config.HVN"
  # "No": one "AddToWin2K END" (a "Yes" logs one more before the restart).
  expect_log "$label" 1 "AddToWin2K END"
}

# in_prefix_copy PREFIX ARCH VERSION COMMAND...: runs a check in a fresh copy
# of the prefix set to that Windows version, so that the cached prefix stays
# clean and every run starts without the driver (WINE_KEEP_RUNS=1 keeps the
# copy and the package folder for a look afterwards). Call outside a session.
in_prefix_copy() {
  local prefix=$1 arch=$2 version=$3 copy
  shift 3
  copy=$(mktemp -d "$WINE_CACHE/prefix-install.XXXXXX")
  cp -a "$prefix/." "$copy/"
  start_session "$copy" "$arch" "$version"
  "$@"
  end_session
  if [ -n "${WINE_KEEP_RUNS:-}" ]; then
    info "kept: prefix $copy, package ${PKG:-}"
  else
    rm -rf "${PKG:-}" "$copy"
  fi
  PKG=""
}

# run_direct_installation_checks PREFIX64 BUILD64 BUILD32 RUN_WOW64: the runs
# in the 64-bit prefix reporting Windows XP: the x86_64 build on both roads,
# then, when RUN_WOW64 is "yes", the i686 build under WOW64 (otherwise
# RUN_WOW64 is the reason it is not run).
run_direct_installation_checks() {
  local prefix=$1 build64=$2 build32=$3 runWow64=$4
  local probe=$build64/tools/winprobe/winprobe.exe
  if [ ! -f "$build64/tools/wine_install/install_check.exe" ] || [ ! -f "$probe" ]; then
    skip "direct installation under Wine" "install_check.exe or winprobe.exe not built in $build64"
    return
  fi
  in_prefix_copy "$prefix" win64 winxp check_install_printer_refused \
    "direct installation, Windows NT x86" "$build64" "$probe" x86
  in_prefix_copy "$prefix" win64 winxp check_install_success \
    "direct installation, as under WOW64" "$build64" "$probe" vehicle
  if [ "$runWow64" != yes ]; then
    skip "direct installation by the i686 build under WOW64" "$runWow64"
  elif [ ! -f "$build32/tools/wine_install/install_check.exe" ]; then
    skip "direct installation by the i686 build under WOW64" "install_check.exe not built in $build32"
  else
    # Wine's spooler runs inside the calling process: the 32-bit process
    # loads the package's monitor, so the package holds i686 fixture DLLs
    # (Windows' 64-bit spooler would load the 64-bit ones). The WOW64 road
    # registers for "Windows x64", which the spooler of a 32-bit process
    # refuses for a printer; the road of 32-bit Windows goes through.
    in_prefix_copy "$prefix" win64 winxp check_install_printer_refused \
      "direct installation, i686 under WOW64" "$build32" "$probe" wow64 900
    in_prefix_copy "$prefix" win64 winxp check_install_success \
      "direct installation, i686 on the road of 32-bit Windows" "$build32" "$probe" x86-on-wow64 900
  fi
}

# run_direct_installation_32 PREFIX32 BUILD32: the i686 build in the 32-bit
# prefix reporting Windows XP, the direct installation's own release.
run_direct_installation_32() {
  local prefix=$1 build=$2
  local probe=$build/tools/winprobe/winprobe.exe
  if [ ! -f "$build/tools/wine_install/install_check.exe" ] || [ ! -f "$probe" ]; then
    skip "direct installation in the 32-bit prefix" "install_check.exe or winprobe.exe not built in $build"
    return
  fi
  in_prefix_copy "$prefix" win32 winxp check_install_success \
    "direct installation, 32-bit Windows XP" "$build" "$probe" x86 900
}
