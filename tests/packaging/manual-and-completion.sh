#!/usr/bin/env bash
# The manual page and the bash completion against the program's own help: every command, option and
# --format value the program knows is in both, so neither can fall behind the program; and the completion
# completes commands, options, values, webs and items inside a web as a user types them.
#   manual-and-completion.sh VARNOOK MANUAL.scd COMPLETION.bash
set -uo pipefail
varnook=$1 manual=$2 completion=$3
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

commands=$("$varnook" --help | sed -n '/^Subcommands:/,$p' | awk 'NR > 1 && NF { print $1 }')
[ -n "$commands" ] || fail "no commands in varnook --help"

# shellcheck source=/dev/null
source "$completion"
# Completes the words given as a user's command line whose last word is being typed; prints the choices.
complete_line() {
    COMP_WORDS=(varnook "$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _varnook
    [ ${#COMPREPLY[@]} -eq 0 ] || printf "%s\n" "${COMPREPLY[@]}"
}
expect_choices() {
    local expected=$1
    shift
    local got
    got=$(complete_line "$@" | sort | tr '\n' ' ')
    [ "$got" = "$expected" ] || fail "completing 'varnook $*': got '$got', expected '$expected'"
}

offered_commands=$(complete_line "" | tr '\n' ' ')
for command in $commands; do
    grep -q "^\*$command\*" "$manual" || fail "the manual page has no entry for the command '$command'"
    [[ " $offered_commands " == *" $command "* ]] || fail "the completion does not offer the command '$command'"
    help=$("$varnook" help "$command")
    offered_options=" $(complete_line "$command" - | tr '\n' ' ') "
    for option in $(printf '%s\n' "$help" | grep -oE '^  (-[a-z],)?--[a-z-]+' | sed 's/.*--/--/'); do
        grep -qF -- "*$option*" "$manual" || fail "the manual page does not name $command's option $option"
        [[ $offered_options == *" $option "* ]] || fail "the completion does not offer $command's option $option"
    done
    values=$(printf '%s\n' "$help" | grep -oE -- '--format TEXT:\{[a-z,]+\}' | sed 's/.*{//; s/}//; s/,/ /g')
    if [ -n "$values" ]; then
        for value in $values; do
            grep -qF -- "*$value*" "$manual" || fail "the manual page does not name --format $value"
        done
        expect_choices "$(tr ' ' '\n' <<<"$values" | sort | tr '\n' ' ')" "$command" --format ""
    fi
done

# Webs are folders; items are paths inside the web given, relative to it, without the editor's own.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/site/images/_vti_cnf" "$work/site/_vti_pvt" "$work/site/_borders" "$work/site/drafts" "$work/other"
touch "$work/site/index.htm" "$work/site/images/logo.gif" "$work/site/images/big photo.jpg" "$work/site/.htaccess"
cd "$work" || exit 1
expect_choices "site " mark si
expect_choices ".htaccess drafts/ images/ index.htm " mark site ""
expect_choices "images/big photo.jpg images/logo.gif " toggle -q site images/
expect_choices "index.htm " unmark site images/logo.gif in
expect_choices "" mark site images/nothing/
expect_choices "--dry-run " mark site --d
expect_choices "other site " tree ""
expect_choices "mark " help ma

echo "$failures failure(s)"
[ "$failures" -eq 0 ]
