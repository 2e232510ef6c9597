#!/usr/bin/env bash
# Measures varnook on webs on disk against the physical floor (bench/floor.c: nftw plus one read of every
# metadata file) and prints the ratios. Uses the optimised build; builds the webs in a scratch folder.
#   bench/disk.sh            the full run: 20k and 100k files, chains 2,000 and 10,000 deep, marking 100k
#   bench/disk.sh --quick    one small run of each (CI)
# Environment: BUILD (default build/linux-release), WORK (scratch folder, default a fresh one in /tmp),
# RUNS (timed runs per figure, the best is kept; default 3).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD:-build/linux-release}
varnook=$build/varnook
runs=${RUNS:-3}
quick=no
[ "${1:-}" = "--quick" ] && quick=yes
[ -x "$varnook" ] || { echo "disk.sh: build $varnook first (cmake --build --preset linux-release)" >&2; exit 2; }
own_work=no
if [ -z "${WORK:-}" ]; then
    WORK=$(mktemp -d /tmp/varnook-bench-XXXXXX)
    own_work=yes
fi
cleanup() { [ "$own_work" = yes ] && rm -rf "$WORK"; }
trap cleanup EXIT

cc -O2 -o "$WORK/floor" bench/floor.c
cc -O2 -o "$WORK/chain" bench/chain.c

meta=$'vti_encoding:SR|utf8-nl\r\nvti_author:SR|bench\r\nvti_timelastmodified:TR|01 Jan 2026 00:00:00 -0000\r\nvti_title:SR|A page\r\n'
marked=$'vti_encoding:SR|utf8-nl\r\nvti_author:SR|bench\r\nvti_donotpublish:BW|true\r\nvti_title:SR|A page\r\n'

# make_web DIR FOLDERS FILES_PER_FOLDER: every folder under DIR/site, metadata of four lines, every
# seventh file marked, index.htm as the home page. Shell built-ins only: no process per file.
make_web() {
    local dir=$1 folders=$2 per=$3 f i
    mkdir -p "$dir/site" "$dir/_vti_cnf"
    : >"$dir/index.htm"
    printf '%s' "$meta" >"$dir/_vti_cnf/index.htm"
    for ((f = 0; f < folders; f++)); do
        local folder="$dir/site/folder$f"
        mkdir -p "$folder/_vti_cnf"
        for ((i = 0; i < per; i++)); do
            : >"$folder/page$i.htm"
            if ((i % 7 == 0)); then printf '%s' "$marked"; else printf '%s' "$meta"; fi >"$folder/_vti_cnf/page$i.htm"
        done
    done
}

# make_chain DIR DEPTH: DEPTH nested folders "d", a marked page at the bottom (bench/chain.c).
make_chain() { (cd "$(dirname "$1")" && "$WORK/chain" "$(basename "$1")" "$2"); }

# best COMMAND...: the shortest wall time of $runs runs, in seconds.
best() {
    local bestTime="" t
    for ((r = 0; r < runs; r++)); do
        local start end
        start=$(date +%s.%N)
        "$@" >/dev/null
        end=$(date +%s.%N)
        t=$(awk -v a="$start" -v b="$end" 'BEGIN {print b - a}')
        if [ -z "$bestTime" ] || awk -v a="$t" -v b="$bestTime" 'BEGIN {exit !(a < b)}'; then bestTime=$t; fi
    done
    printf '%.3f' "$bestTime"
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.3f", b - a}'; }
perFile() { awk -v a="$1" -v b="$2" -v n="$3" 'BEGIN {printf "%.1f", (b - a) * 1000000 / n}'; }

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(df -T "$WORK" | awk 'NR==2 {print $2}') file system"
echo "varnook: $varnook"

if [ "$quick" = yes ]; then sizes="50:20"; chains="200"; else sizes="1000:20 5000:20"; chains="2000 10000"; fi

echo
echo "== tree --tsv against the floor (best of $runs, warm cache)"
for size in $sizes; do
    folders=${size%%:*} per=${size##*:}
    files=$((folders * per))
    web="$WORK/web$files"
    [ -d "$web" ] || make_web "$web" "$folders" "$per"
    "$WORK/floor" "$web" >/dev/null # warms the cache
    floor=$(best "$WORK/floor" "$web")
    tree=$(best "$varnook" tree --tsv "$web")
    nodes=$("$varnook" tree --tsv "$web" | wc -l)
    peak=$(/usr/bin/time -f %M "$varnook" tree --tsv "$web" 2>&1 >/dev/null | tail -1)
    echo "$files files: floor ${floor}s, tree ${tree}s, ratio $(ratio "$tree" "$floor")x; peak ${peak} KB for $nodes nodes = $((peak * 1024 / nodes)) B/node"
done

echo
echo "== depth: a chain of nested folders"
for depth in $chains; do
    web="$WORK/chain$depth"
    [ -d "$web" ] || make_chain "$web" "$depth"
    tree=$(best "$varnook" tree --tsv "$web")
    excluded=$(best "$varnook" excluded "$web")
    count=$("$varnook" excluded "$web" | wc -l)
    start=$(date +%s.%N)
    "$varnook" toggle "$web" d >/dev/null
    end=$(date +%s.%N)
    toggle=$(elapsed "$start" "$end")
    "$varnook" toggle "$web" d >/dev/null
    echo "depth $depth: tree ${tree}s, excluded ${excluded}s ($count marked), toggle ${toggle}s"
done

echo
echo "== marking every file of a folder (one toggle, then back)"
for size in $sizes; do
    folders=${size%%:*} per=${size##*:}
    files=$((folders * per))
    web="$WORK/web$files"
    start=$(date +%s.%N)
    "$varnook" toggle "$web" site >/dev/null
    end=$(date +%s.%N)
    echo "$files files: toggle site $(elapsed "$start" "$end")s ($(perFile "$start" "$end" "$files") us per file)"
    "$varnook" toggle "$web" site >/dev/null
done

echo
echo "== marking by pattern, against the same files given as items (every file whose name ends in 3.htm)"
for size in $sizes; do
    folders=${size%%:*} per=${size##*:}
    files=$((folders * per))
    web="$WORK/web$files"
    pattern='site/**/*3.htm'
    mapfile -t items < <(cd "$web" && find site -name '*3.htm' ! -path '*/_vti_cnf/*' | sort)
    # Both runs start with none of them marked.
    "$varnook" unmark -q "$web" --match "$pattern"
    start=$(date +%s.%N)
    "$varnook" mark -q "$web" --match "$pattern"
    end=$(date +%s.%N)
    matched=$(elapsed "$start" "$end")
    "$varnook" unmark -q "$web" --match "$pattern"
    start=$(date +%s.%N)
    "$varnook" mark -q "$web" "${items[@]}"
    end=$(date +%s.%N)
    listed=$(elapsed "$start" "$end")
    "$varnook" unmark -q "$web" --match "$pattern"
    echo "$files files: mark --match ${matched}s, the same ${#items[@]} files as items ${listed}s" \
        "(ratio $(awk -v a="$matched" -v b="$listed" 'BEGIN {printf "%.2f", a / b}'))"
done
