#!/bin/bash
# The suite's own environment keeps the person and the machine out: every
# folder lumhost would look in for plug-ins and presets lies in the build
# tree (the run's home, the empty system root, lumhost's own folders), none
# under the machine's folders or the person's home, and no preset is found.
# Usage: check_hermetic.sh LUMHOST HERMETIC_FOLDER
set -euo pipefail
lumhost=$1 hermetic=$2
build=$(cd "$(dirname "$lumhost")/.." && pwd)

fail=0
[ "${HOME:-}" = "$hermetic/home" ] || { echo "HOME is ${HOME:-unset}, not $hermetic/home" >&2; fail=1; }

# lumhost names every folder it searched when a name is found nowhere, and
# when a plug-in has no presets.
searched=$("$lumhost" info no-such-plugin-anywhere 2>&1 >/dev/null || true)
case $searched in
*" in "*) plugin_folders=${searched#* in } ;;
*) echo "lumhost info did not name its folders: $searched" >&2; exit 1 ;;
esac
presets=$("$lumhost" presets 2>&1)
case $presets in
*"(looked in "*) preset_folders=${presets#*(looked in }; preset_folders=${preset_folders%)} ;;
*) echo "presets were found where the tests should see none:" >&2; echo "$presets" >&2; exit 1 ;;
esac

while IFS= read -r folder; do
    folder=${folder% (missing)}
    [ -n "$folder" ] || continue
    case $folder in
    "$hermetic"/* | "$build"/*) ;;
    *) echo "lumhost looks in $folder" >&2; fail=1 ;;
    esac
done < <(printf '%s\n' "$plugin_folders" "$preset_folders" | sed 's/, /\n/g')
exit $fail
