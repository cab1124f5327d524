#!/bin/sh
# The module is built hardened: its stack is not executable, its relocations
# are read-only once loaded and bound at load time, and its functions with
# buffers on the stack carry canaries.
set -eu
module="$1"
fail() { echo "hardening: $*" >&2; exit 1; }
stack=$(readelf -lW "$module" | awk '$1 == "GNU_STACK" {print $7}')
[ -n "$stack" ] || fail "no GNU_STACK header"
case "$stack" in *E*) fail "executable stack ($stack)" ;; esac
readelf -lW "$module" | grep -q GNU_RELRO || fail "no read-only relocations (RELRO)"
readelf -dW "$module" | grep -Eq 'BIND_NOW|Flags:.* NOW' || fail "symbols not bound at load (BIND_NOW)"
nm -D --undefined-only "$module" | grep -q __stack_chk_fail || fail "no stack protector"
echo "hardening ok: stack $stack, RELRO, BIND_NOW, stack protector"
