#!/bin/bash
# The bash completion run as bash runs it: commands, a command's options,
# plug-in names from `lumhost list` and parameter names from `lumhost info`.
# Usage: check_completion.sh LUMHOST COMPLETION
set -uo pipefail
lumhost=$1
compopt() { :; }  # only usable inside a real completion
# shellcheck source=/dev/null
source "$2"

failed=0
expect() {  # EXPECTED WORD...: completes the last word
    local expected=$1
    shift
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    COMPREPLY=()
    _lumhost "$lumhost" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    local got="${COMPREPLY[*]}"
    if [ "$got" != "$expected" ]; then
        echo "'$*': expected '$expected', got '$got'"
        failed=1
    fi
}

expect "info list devices render play presets -h --help --version" lumhost ""
expect "render" lumhost re
expect "--null" lumhost render --n
expect "--plugin --param --preset" lumhost render --p
expect "--capture" lumhost play --cap
expect "s16le:44100:2 s16le:48000:2 s32le:48000:2 s8:8000:1" lumhost render --input-format s
expect "--quiet" lumhost render --size 64x48 --q
expect "interleaved" lumhost render --layout i
expect "" lumhost render --fps ""
expect "gyrotrail" lumhost render --plugin gy
expect "gyrotrail" lumhost info g
expect "line-width= line-length=" lumhost render --plugin gyrotrail --set line-
expect "zoom-factor=" lumhost info --set z
# Preset names come from lumhost presets, for the plug-in named on the line.
XDG_CONFIG_HOME=$(mktemp -d)
export XDG_CONFIG_HOME
trap 'rm -rf "$XDG_CONFIG_HOME"' EXIT
mkdir -p "$XDG_CONFIG_HOME/lumhost/presets/gyrotrail"
echo "Line width=3" >"$XDG_CONFIG_HOME/lumhost/presets/gyrotrail/thin.preset"
echo "Line width=30" >"$XDG_CONFIG_HOME/lumhost/presets/gyrotrail/thick.preset"
expect "thick thin" lumhost render --load-preset th
expect "thin" lumhost play --plugin gyrotrail --load-preset thin
expect "--load-preset" lumhost play --lo
expect "--fullscreen" lumhost play --fu
expect "--save" lumhost presets --sa

exit $failed
