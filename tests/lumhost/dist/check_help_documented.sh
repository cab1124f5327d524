#!/bin/bash
# Every command and every option that `lumhost --help` and `lumhost COMMAND
# --help` name must appear in the manual page and in the bash completion, so
# an option added to the program without them fails here.
# Usage: check_help_documented.sh LUMHOST MANPAGE COMPLETION
set -euo pipefail
lumhost=$1 manpage=$2 completion=$3

# The first column of CLI11's "Subcommands:" and "Options:" sections.
section_names() {
    awk -v want="$1" '
        /^[A-Z][a-z]*:$/ { inside = ($0 == want); next }
        /^$/ { inside = 0; next }
        inside && /^  [^ ]/ { print $1 }'
}

commands=$("$lumhost" --help | section_names "Subcommands:")
options=$("$lumhost" --help | section_names "Options:" | tr ',' '\n')
for command in $commands; do
    options+=$'\n'$("$lumhost" "$command" --help | section_names "Options:" | tr ',' '\n')
done
options=$(printf '%s\n' "$options" | grep '^-' | sort -u)

count() { printf '%s\n' "$1" | grep -c .; }
# A broken parse must not pass for an empty list.
if [ "$(count "$commands")" -lt 4 ] || [ "$(count "$options")" -lt 10 ]; then
    echo "help_documented: could not read the commands and options from --help" >&2
    exit 1
fi

# The page's text without roff escapes: \- is a dash, \fB and the like change fonts.
page=$(sed 's/\\-/-/g; s/\\f[BIRP]//g; s/\\(aq/'"'"'/g' "$manpage")
script=$(cat "$completion")

missing=0
# The text goes in as a here-string, not through a pipe: grep -q stops at its
# first match, and under pipefail the writer's SIGPIPE would turn a found
# word into a missing one whenever the writer had not finished yet.
mentions() {  # TEXT WORD: WORD stands alone (not inside a longer option)
    grep -Eq -- "(^|[^-[:alnum:]])$2([^-[:alnum:]]|$)" <<<"$1"
}
for command in $commands; do
    if ! mentions "$page" "lumhost $command"; then echo "man page lacks the command $command"; missing=1; fi
    if ! mentions "$script" "$command"; then echo "completion lacks the command $command"; missing=1; fi
done
for option in $options; do
    if ! mentions "$page" "$option"; then echo "man page lacks the option $option"; missing=1; fi
    if ! mentions "$script" "$option"; then echo "completion lacks the option $option"; missing=1; fi
done

# The page must also be clean roff.
if command -v groff >/dev/null; then
    warnings=$(groff -man -ww -z "$manpage" 2>&1 || true)
    if [ -n "$warnings" ]; then echo "man page: $warnings"; missing=1; fi
fi
echo "checked $(count "$commands") commands and $(count "$options") options"
exit $missing
