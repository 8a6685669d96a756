# Checks of a cross-built installer file without running it: PE32 for i386,
# GUI subsystem, only system DLLs imported, the shared section "DataSeg",
# and the resources the program loads (read back with windres).
# Sourced by run.sh (uses pass/fail/skip of lib.sh).

# DLLs that every Windows release the programs support ships.
SYSTEM_DLLS="kernel32.dll user32.dll gdi32.dll advapi32.dll shlwapi.dll comctl32.dll
winspool.drv setupapi.dll msvcrt.dll shell32.dll ole32.dll"

check_pe_file() {
  local exe=$1
  if [ ! -f "$exe" ]; then
    skip "PE file checks" "$exe not built"
    return
  fi
  local objdump=i686-w64-mingw32-objdump windres=i686-w64-mingw32-windres
  if ! command -v $objdump >/dev/null || ! command -v $windres >/dev/null; then
    skip "PE file checks" "mingw-w64 binutils missing"
    return
  fi
  local headers private sections
  headers=$($objdump -f "$exe")
  private=$($objdump -p "$exe")
  sections=$($objdump -h "$exe")

  if grep -q "file format pei-i386" <<<"$headers" && grep -q "Magic.*(PE32)" <<<"$private"; then
    pass "PE32 for i386"
  else
    fail "PE32 for i386" "$(grep 'file format' <<<"$headers")"
  fi

  if grep -q "Subsystem.*(Windows GUI)" <<<"$private"; then
    pass "GUI subsystem"
  else
    fail "GUI subsystem" "$(grep Subsystem <<<"$private")"
  fi

  local imports others=""
  imports=$(awk '/DLL Name:/ {print tolower($3)}' <<<"$private" | sort -u)
  for dll in $imports; do
    grep -qw -- "$dll" <<<"$SYSTEM_DLLS" || others="$others $dll"
  done
  if [ -n "$imports" ] && [ -z "$others" ]; then
    pass "imports only system DLLs ($(echo $imports))"
  else
    fail "imports only system DLLs" "also imports:$others"
  fi

  # objdump prints a section's flags on the line after its name.
  if grep -A1 -E '^ +[0-9]+ DataSeg ' <<<"$sections" | grep -q SHARED; then
    pass "section DataSeg marked shared"
  else
    fail "section DataSeg marked shared" "$(grep -A1 DataSeg <<<"$sections" | tr -s ' ')"
  fi

  local resources
  resources=$($windres -i "$exe" -O rc 2>&1)
  if grep -q '^102 DIALOGEX 0, 0, 259, 116' <<<"$resources" &&
     grep -q 'CAPTION "Installation Progress"' <<<"$resources" &&
     grep -q '"MSCTLS_PROGRESS32"' <<<"$resources"; then
    pass "resource: dialog 102 \"Installation Progress\" 259 x 116 with its progress bar"
  else
    fail "resource: dialog 102" "not found as expected in the file's resources"
  fi
  if grep -q '^129 DIALOGEX 0, 0, 197, 66' <<<"$resources" &&
     grep -q 'AUTORADIOBUTTON "USB", 1001, 153, 23, 33, 10' <<<"$resources"; then
    pass "resource: dialog 129 \"Port Type\""
  else
    fail "resource: dialog 129" "not found as expected in the file's resources"
  fi
  if grep -q '^  2, "HALVORN QPR-730"$' <<<"$resources"; then
    pass "resource: string 2 \"HALVORN QPR-730\""
  else
    fail "resource: string 2" "not found in the string table"
  fi
  if grep -A2 'Type: group icon' <<<"$resources" | grep -q 'Name: 128\.'; then
    pass "resource: icon 128"
  else
    fail "resource: icon 128" "no group icon 128"
  fi
}
