# bash completion for varnook                                     -*- shell-script -*-
# Commands, their options and values; WEB and DIR as folders; each ITEM as a path inside the web given
# before it, relative to that web, as mark, unmark and toggle take it. Needs nothing of bash-completion's
# own helpers, so it also works where only this file is sourced.

# The items of web $1 whose path starts with $2, each on a line: folders with a trailing "/". Names the
# window never shows (the editor's "_vti_*" bookkeeping and its hidden folders) are not offered.
_varnook_items() {
    local web=$1 cur=$2 dir="" entry name
    [[ $cur == */* ]] && dir=${cur%/*}/
    [[ -d $web/$dir ]] || return 0
    for entry in "$web/$dir"* "$web/$dir".*; do
        name=${entry##*/}
        case $name in
        . | .. | _vti_* | _derived | _borders | _overlay | _themes | _fpclass) continue ;;
        esac
        [[ -e $entry || -L $entry ]] || continue
        [[ $dir$name == "$cur"* ]] || continue
        if [[ -d $entry && ! -L $entry ]]; then
            printf '%s\n' "$dir$name/"
        else
            printf '%s\n' "$dir$name"
        fi
    done
}

_varnook() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=""
    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
    local commands="help tree toggle mark unmark excluded check icons"

    # The command and the positional arguments before the word being completed.
    local command="" word i
    local -a positionals=()
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        case $word in
        --format) ((i++)) ;;
        -*) ;;
        *) if [[ -z $command ]]; then command=$word; else positionals+=("$word"); fi ;;
        esac
    done

    if [[ $prev == --format ]]; then
        case $command in
        excluded) mapfile -t COMPREPLY < <(compgen -W "list rsync gitignore json" -- "$cur") ;;
        check) mapfile -t COMPREPLY < <(compgen -W "text json" -- "$cur") ;;
        esac
        return 0
    fi

    local options
    case $command in
    "") options="--help --version" ;;
    tree) options="--help --tsv --json --quiet" ;;
    mark | unmark) options="--help --tsv --json --quiet --dry-run --init --no-wait --match" ;;
    toggle) options="--help --tsv --json --quiet --dry-run --init --no-wait" ;;
    excluded) options="--help --format --json --keep-metadata --quiet" ;;
    check) options="--help --format --json --keep-metadata --quiet --orphans" ;;
    icons) options="--help --quiet" ;;
    *) options="--help" ;;
    esac
    if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
        return 0
    fi

    case $command in
    "")
        # A command, or the web to open in the terminal window.
        mapfile -t COMPREPLY < <(compgen -W "$commands" -- "$cur"; compgen -d -- "$cur")
        ;;
    help)
        ((${#positionals[@]} == 0)) && mapfile -t COMPREPLY < <(compgen -W "$commands" -- "$cur")
        ;;
    mark | unmark | toggle)
        if ((${#positionals[@]} == 0)); then
            mapfile -t COMPREPLY < <(compgen -d -- "$cur")
        else
            mapfile -t COMPREPLY < <(_varnook_items "${positionals[0]}" "$cur")
            # A folder is completed further inside; only a file ends the word.
            [[ ${#COMPREPLY[@]} -eq 1 && ${COMPREPLY[0]} != */ ]] || compopt -o nospace 2>/dev/null
        fi
        ;;
    tree | excluded | check | icons)
        ((${#positionals[@]} == 0)) && mapfile -t COMPREPLY < <(compgen -d -- "$cur")
        ;;
    esac
    return 0
}

complete -o filenames -F _varnook varnook
