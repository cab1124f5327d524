#!/bin/sh
# The module file as objdump reads it, without running it: its own name, the
# seven exports at their ordinals, imports from the four system DLLs only,
# ASLR and DEP on, and one resource.
#
#   check_pe_module.sh OBJDUMP MODULE
set -eu
objdump=$1
module=$2
dump=$("$objdump" -p "$module")
fail=0
check() {  # DESCRIPTION PATTERN
    if ! printf '%s\n' "$dump" | grep -Eq "$2"; then
        echo "missing: $1" >&2
        fail=1
    fi
}

check "module name gyrotrail.lum" '^Name[[:space:]]+[0-9a-f]+ gyrotrail\.lum$'
check "ordinal base 1" '^Ordinal Base[[:space:]]+1$'
ordinal=1
for name in lumDisplaySoundData lumEnd lumGetBitmap lumGetParamInfo lumInit lumSetParamInfo lumStart; do
    # The name table lists each name with the index of its ordinal (ordinal - base).
    check "$name at ordinal $ordinal" "^[[:space:]]+\[[[:space:]]*$((ordinal - 1))\] $name\$"
    ordinal=$((ordinal + 1))
done
exports=$(printf '%s\n' "$dump" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' | grep -Ec '^[[:space:]]+\[' || true)
if [ "$exports" != 7 ]; then
    echo "expected 7 named exports, found $exports" >&2
    fail=1
fi
others=$(printf '%s\n' "$dump" | awk '/DLL Name:/ {print toupper($3)}' | grep -Ev '^(KERNEL32|USER32|GDI32|MSVCRT)\.DLL$' || true)
if [ -n "$others" ]; then
    echo "imports from other DLLs: $others" >&2
    fail=1
fi
# DllCharacteristics: 0x40 dynamic base (ASLR), 0x100 NX compatible (DEP).
characteristics=$(printf '%s\n' "$dump" | awk '/^DllCharacteristics/ {print $2}')
if [ $((0x$characteristics & 0x140)) -ne $((0x140)) ]; then
    echo "DllCharacteristics $characteristics lacks ASLR or DEP" >&2
    fail=1
fi
[ $fail -eq 0 ] && echo "module frame ok: name, 7 exports at ordinals 1-7, system imports only, ASLR+DEP"
exit $fail
