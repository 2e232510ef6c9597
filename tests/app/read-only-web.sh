#!/usr/bin/env bash
# varnook on a web whose file system is mounted read-only, in a mount namespace of its own: reading works
# as on any web, and a change fails with one line that names the cause, exit status 1, nothing claimed.
#   read-only-web.sh VARNOOK
set -u
varnook=$(realpath "$1")

# shellcheck disable=SC2317 # run by the shell started in the new namespace
inner() {
    set -u
    local varnook=$1 failures=0
    local mnt
    mnt=$(mktemp -d /tmp/varnook-ro-XXXXXX)
    mount -t tmpfs -o size=4m varnook-ro "$mnt" || { echo "cannot mount a file system here"; exit 77; }
    # shellcheck disable=SC2064 # the folder is named now: `mnt` is gone when the trap runs
    trap "umount '$mnt' 2>/dev/null; rmdir '$mnt'" EXIT
    local web=$mnt/web
    mkdir -p "$web/_vti_pvt" "$web/_vti_cnf" "$web/docs"
    echo '<html>' >"$web/a.htm"
    echo '<html>' >"$web/b.htm"
    echo '<html>' >"$web/docs/c.htm"
    printf 'vti_encoding:SR|utf8-nl\r\nvti_donotpublish:BW|true\r\n' >"$web/_vti_cnf/b.htm"
    mount -o remount,ro "$mnt" || { echo "cannot make the file system read-only here"; exit 77; }
    local before
    before=$(cd "$web" && find . -printf '%p %s %T@\n' | sort)

    check() { # check DESCRIPTION CONDITION...
        local what=$1
        shift
        if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
    }

    local out err status
    out=$("$varnook" tree --tsv "$web" 2>/tmp/varnook-ro-err.$$); status=$?
    err=$(cat /tmp/varnook-ro-err.$$)
    check "tree reads a read-only web" test "$status" -eq 0
    check "tree lists every item" test "$(printf '%s\n' "$out" | wc -l)" -eq 5
    check "tree says nothing on standard error" test -z "$err"

    out=$("$varnook" excluded "$web" 2>/dev/null); status=$?
    check "excluded lists the marked file" test "$status" -eq 0 -a "$out" = "b.htm"

    out=$("$varnook" mark --dry-run "$web" a.htm 2>/dev/null); status=$?
    check "a dry run needs no write" test "$status" -eq 0
    check "the dry run says what it would do" grep -q '^marked  a.htm' <<<"$out"

    for command in "toggle $web a.htm" "mark $web docs" "unmark $web b.htm" "mark --no-wait $web a.htm"; do
        # shellcheck disable=SC2086
        out=$("$varnook" $command 2>/tmp/varnook-ro-err.$$); status=$?
        err=$(cat /tmp/varnook-ro-err.$$)
        check "$command: exit status 1" test "$status" -eq 1
        check "$command: the cause is named" grep -q 'Read-only file system' <<<"$err"
        check "$command: one line of error" test "$(printf '%s\n' "$err" | wc -l)" -eq 1
        check "$command: no change is claimed" test -z "$out"
    done
    rm -f /tmp/varnook-ro-err.$$
    check "nothing on the file system changed" test "$(cd "$web" && find . -printf '%p %s %T@\n' | sort)" = "$before"
    [ "$failures" -eq 0 ] || { echo "$failures checks failed; last error: $err"; exit 1; }
}

# A private mount namespace: as root, or as anyone where user namespaces are allowed.
for flags in "--mount" "--mount --map-root-user"; do
    # shellcheck disable=SC2086
    if unshare $flags true 2>/dev/null; then
        # shellcheck disable=SC2086
        exec unshare $flags bash -c "$(declare -f inner); inner \"\$1\"" read-only-web "$varnook"
    fi
done
echo "no private mount namespace here: skipped"
exit 77
