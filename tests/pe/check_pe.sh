#!/usr/bin/env bash
# Checks the headers and resources of the shipped 32-bit Quorvane.exe with binutils.
#
#   check_pe.sh <exe> <objdump> <windres> [headers|imports|manifest|version|icon ...]
#
# Without a list every group of checks runs. Each failed check prints what was expected and what
# was found; the exit code is 1 when any check failed.
set -uo pipefail
export LC_ALL=C

if [ $# -lt 3 ]; then
  echo "usage: $0 <exe> <objdump> <windres> [headers|imports|manifest|version|icon ...]" >&2
  exit 2
fi
exe=$1 objdump=$2 windres=$3
shift 3
groups=("$@")
[ ${#groups[@]} -gt 0 ] || groups=(headers imports manifest version icon)

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
ok() { echo "ok: $*"; }

[ -f "$exe" ] || { echo "FAIL: $exe does not exist"; exit 1; }
headers=$("$objdump" -p "$exe" 2>&1) || { echo "FAIL: $objdump -p $exe failed: $headers"; exit 1; }
resources=$("$windres" -i "$exe" -O rc 2>&1) || {
  echo "FAIL: $windres -i $exe -O rc failed: $resources"
  exit 1
}

# Lines of the resource script from the line matching $1 (a regular expression) through the END
# that closes its first BEGIN.
resource_block() {
  printf '%s\n' "$resources" | awk -v start="$1" '
    !inside && $0 ~ start { inside = 1 }
    inside {
      print
      if ($1 == "BEGIN") depth++
      if ($1 == "END" && --depth == 0) exit
    }'
}

check_headers() {
  if grep -q 'file format pei-i386$' <<<"$headers"; then
    ok "machine i386 (pei-i386)"
  else
    fail "the file format is not pei-i386: $(grep -m1 'file format' <<<"$headers")"
  fi
  if grep -Eq '^Magic[[:space:]]+010b[[:space:]]+\(PE32\)' <<<"$headers"; then
    ok "optional header PE32"
  else
    fail "the optional header is not PE32: $(grep -m1 '^Magic' <<<"$headers")"
  fi
  if grep -Eq '^Subsystem[[:space:]]+00000002[[:space:]]+\(Windows GUI\)' <<<"$headers"; then
    ok "subsystem Windows GUI (2)"
  else
    fail "the subsystem is not Windows GUI (2): $(grep -m1 '^Subsystem' <<<"$headers")"
  fi
}

check_imports() {
  # DLLs that every Windows installation has; the MinGW runtime DLLs are not among them.
  local system_dlls=" kernel32.dll user32.dll gdi32.dll comctl32.dll msvcrt.dll advapi32.dll
    shell32.dll shlwapi.dll ole32.dll oleaut32.dll comdlg32.dll uxtheme.dll version.dll
    winmm.dll ntdll.dll "
  local dlls dll lower count=0
  dlls=$(sed -n 's/^[[:space:]]*DLL Name:[[:space:]]*//p' <<<"$headers" | tr -d '\r')
  if [ -z "$dlls" ]; then
    fail "objdump shows no imported DLL at all"
    return
  fi
  while IFS= read -r dll; do
    count=$((count + 1))
    lower=$(tr '[:upper:]' '[:lower:]' <<<"$dll")
    case $lower in
      libstdc++* | libgcc* | libwinpthread*)
        fail "imports the MinGW runtime DLL $dll (link with -static -static-libgcc -static-libstdc++)"
        ;;
      *)
        if [[ $system_dlls == *" $lower"[[:space:]]* ]]; then
          ok "imports system DLL $dll"
        else
          fail "imports $dll, which is not a system DLL"
        fi
        ;;
    esac
  done <<<"$dlls"
  grep -qix 'KERNEL32.dll' <<<"$dlls" || fail "does not import KERNEL32.dll"
  grep -qix 'USER32.dll' <<<"$dlls" || fail "does not import USER32.dll"
}

# The RT_MANIFEST text, with the resource script's string escapes undone and white space collapsed.
manifest_text() {
  resource_block '^1 24 ' | sed -n 's/^[[:space:]]*"\(.*\)"[[:space:]]*$/\1/p' |
    sed -e 's/""/"/g' -e 's/\\n/ /g' -e 's/\\r/ /g' -e 's/\\t/ /g' | tr '\n' ' ' | tr -s ' '
}

# True when element $1 (one "<name ...>" tag) has attribute $2 with value $3.
has_attribute() {
  grep -Eq "[[:space:]]$2[[:space:]]*=[[:space:]]*\"$3\"" <<<"$1"
}

check_manifest() {
  local ids manifest element
  ids=$(grep -Ec '^[^ /*].* 24 /\* RT_MANIFEST \*/' <<<"$resources")
  if ! grep -q '^1 24 /\* RT_MANIFEST \*/' <<<"$resources"; then
    fail "no RT_MANIFEST resource with id 1"
    return
  fi
  [ "$ids" = 1 ] || fail "$ids RT_MANIFEST resources instead of one"
  manifest=$(manifest_text)

  element=$(grep -o '<requestedExecutionLevel[^>]*>' <<<"$manifest")
  if [ -z "$element" ]; then
    fail "the manifest has no requestedExecutionLevel"
  else
    if has_attribute "$element" level requireAdministrator; then
      ok "manifest requests requireAdministrator"
    else
      fail "the manifest does not request level=\"requireAdministrator\": $element"
    fi
    if has_attribute "$element" uiAccess false; then
      ok "manifest has uiAccess=\"false\""
    else
      fail "the manifest does not say uiAccess=\"false\": $element"
    fi
  fi
  grep -q '<trustInfo[^>]*urn:schemas-microsoft-com:asm.v[23]' <<<"$manifest" ||
    fail "requestedExecutionLevel is not inside a trustInfo of the asm.v3 namespace"

  element=$(grep -o '<dependency>.*</dependency>' <<<"$manifest" |
    grep -o '<assemblyIdentity[^>]*Microsoft\.Windows\.Common-Controls[^>]*>')
  if [ -z "$element" ]; then
    fail "the manifest has no dependency on Microsoft.Windows.Common-Controls"
    return
  fi
  local attribute value
  for attribute in type=win32 name=Microsoft\\.Windows\\.Common-Controls version=6\\.0\\.0\\.0 \
    processorArchitecture=x86 publicKeyToken=6595b64144ccf1df; do
    value=${attribute#*=}
    if has_attribute "$element" "${attribute%%=*}" "$value"; then
      ok "Common-Controls dependency has ${attribute%%=*}=\"${value//\\/}\""
    else
      fail "the Common-Controls dependency lacks ${attribute%%=*}=\"${value//\\/}\": $element"
    fi
  done
}

check_version() {
  local block strings
  block=$(resource_block '^[^ /*].* VERSIONINFO$')
  if [ -z "$block" ]; then
    fail "no VERSIONINFO resource"
    return
  fi
  grep -q '^1 VERSIONINFO$' <<<"$block" || fail "the VERSIONINFO resource does not have id 1"
  grep -Eq '^[[:space:]]*FILEVERSION 1, 0, 0, 0$' <<<"$block" && ok "FILEVERSION 1,0,0,0" ||
    fail "FILEVERSION is not 1,0,0,0: $(grep -m1 ' FILEVERSION' <<<"$block")"
  grep -Eq '^[[:space:]]*PRODUCTVERSION 1, 0, 0, 0$' <<<"$block" && ok "PRODUCTVERSION 1,0,0,0" ||
    fail "PRODUCTVERSION is not 1,0,0,0: $(grep -m1 ' PRODUCTVERSION' <<<"$block")"

  # The string table of Chinese (PRC), Unicode.
  strings=$(awk '
    !inside && /BLOCK "080404b0"/ { inside = 1; next }
    inside && $1 == "BEGIN" { next }
    inside && $1 == "END" { exit }
    inside { print }' <<<"$block")
  if [ -z "$strings" ]; then
    fail "no string table BLOCK \"080404b0\"; found: $(grep -o 'BLOCK "[0-9a-fA-F]\{8\}"' <<<"$block" | tr '\n' ' ')"
  else
    ok "string table 080404b0"
    local pair name value
    for pair in FileVersion=1.0.0.0 ProductVersion=1.0.0.0 FileDescription=Quorvane \
      ProductName=Quorvane Comments=Quorvane; do
      name=${pair%%=*} value=${pair#*=}
      if grep -Fxq "VALUE \"$name\", \"$value\"" <<<"$(sed 's/^[[:space:]]*//' <<<"$strings")"; then
        ok "$name is \"$value\""
      else
        fail "$name is not \"$value\": $(grep -m1 "\"$name\"" <<<"$strings" || echo missing)"
      fi
    done
  fi
  if grep -Eq 'VALUE "Translation", 0x0?804, 1200$' <<<"$block"; then
    ok "Translation 0x0804 1200"
  else
    fail "Translation is not 0x0804, 1200: $(grep -m1 'Translation' <<<"$block" || echo missing)"
  fi
}

# Prints "width height bits index" for each entry of the group icon $1.
group_icon_entries() {
  resource_block "^\"$1\" 14 " | awk '
    BEGIN { for (i = 32; i < 127; i++) code[sprintf("%c", i)] = i }
    $1 == "BEGIN" { body = 1; next }
    # The first field is a string of four bytes: width, height, colors, reserved.
    body && /^[[:space:]]*"/ {
      line = $0
      sub(/^[[:space:]]*"/, "", line)
      n = 0
      while (n < 4 && length(line) > 0) {
        c = substr(line, 1, 1)
        if (c == "\\" && substr(line, 2, 3) ~ /^[0-7][0-7][0-7]$/) {
          byte[n++] = substr(line, 2, 1) * 64 + substr(line, 3, 1) * 8 + substr(line, 4, 1)
          line = substr(line, 5)
        } else if (c == "\\") {
          c = substr(line, 2, 1)
          byte[n++] = (c == "n") ? 10 : (c == "t") ? 9 : (c == "r") ? 13 : code[c]
          line = substr(line, 3)
        } else {
          byte[n++] = code[c]
          line = substr(line, 2)
        }
      }
      sub(/^"[[:space:]]*,/, "", line)
      gsub(/[[:space:]]/, "", line)
      split(line, field, ",")
      # field: planes, bits, bytes, index
      print (byte[0] ? byte[0] : 256), (byte[1] ? byte[1] : 256), field[2], field[4] + 0
    }'
}

hex_value() {
  local h=${1#0x}
  h=${h%L}
  echo $((16#$h))
}

check_icon() {
  if ! grep -q '^"DEFAULT_ICON" 14 /\* RT_GROUP_ICON \*/' <<<"$resources"; then
    fail "no group icon named DEFAULT_ICON (found: $(grep -E '^[^ ]+ 14 ' <<<"$resources" | tr '\n' ' '))"
    return
  fi
  ok "group icon DEFAULT_ICON"
  local entries want found width height bits index first
  entries=$(group_icon_entries DEFAULT_ICON)
  [ -n "$entries" ] || { fail "DEFAULT_ICON holds no picture"; return; }
  for want in 32 16; do
    found=0
    while read -r width height bits index; do
      [ "$width" = "$want" ] && [ "$height" = "$want" ] || continue
      found=1
      # The picture itself: a BITMAPINFOHEADER (40 bytes) of the same size, twice as high for
      # the AND mask.
      first=$(resource_block "^$index 3 /\\* RT_ICON \\*/" | sed -n '3p' | tr -d ' ')
      IFS=, read -r size w h _ <<<"$first"
      if [ -z "$first" ]; then
        fail "the ${want}x$want entry of DEFAULT_ICON names icon $index, which does not exist"
      elif [ "$(hex_value "$size")" != 40 ] || [ "$(hex_value "$w")" != "$want" ] ||
        [ "$(hex_value "$h")" != $((want * 2)) ]; then
        fail "icon $index is not a ${want}x$want bitmap: header $first"
      else
        ok "DEFAULT_ICON holds a ${want}x$want picture ($bits bits, icon $index)"
      fi
    done <<<"$entries"
    [ $found = 1 ] || fail "DEFAULT_ICON holds no ${want}x$want picture (entries: $(tr '\n' ';' <<<"$entries"))"
  done
}

for group in "${groups[@]}"; do
  case $group in
    headers | imports | manifest | version | icon) "check_$group" ;;
    *) echo "unknown group of checks: $group" >&2; exit 2 ;;
  esac
done

if [ $failures -gt 0 ]; then
  echo "$failures check(s) of $exe failed"
  exit 1
fi
