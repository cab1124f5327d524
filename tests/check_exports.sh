#!/bin/sh
# The module exports the seven entry points and no other function.
set -eu
module="$1"
expected="lumDisplaySoundData lumEnd lumGetBitmap lumGetParamInfo lumInit lumSetParamInfo lumStart"
actual=$(nm -D --defined-only "$module" | awk '$2 ~ /^[TtWw]$/ {print $3}' | sort | tr '\n' ' ' | sed 's/ $//')
others=$(nm -D --defined-only "$module" | awk '$2 !~ /^[TtWwAa]$/ {print $3}' | tr '\n' ' ')
if [ "$actual" != "$expected" ] || [ -n "$others" ]; then
    echo "exports: '$actual' others: '$others'" >&2
    echo "expected: '$expected'" >&2
    exit 1
fi
echo "exports ok: $actual"
