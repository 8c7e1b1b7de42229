#!/usr/bin/env bash
# bench/peers.sh [WORK] [VAULTBENCH]: times the container engine against the tools a user could
# pick instead, in the same run, on a mixed tree of tens of thousands of files and on one 1 GiB
# file. Each command runs ROUNDS times (default 3), the commands taking turns; the median wall
# time and the largest peak resident size are reported. Needs 7zz (Debian's 7zip), pigz, openssl
# and GNU time. Run it on an idle machine, and not within minutes of deleting a large tree (a
# previous run's included): see clean() below.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=${1:-/tmp/vaultine-peers}
vaultbench=${2:-"$root/build/bench/vaultbench/vaultbench"}
rounds=${ROUNDS:-3}
password=benchmark
for tool in 7zz pigz openssl /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done
[ -x "$vaultbench" ] || { echo "missing: $vaultbench (build the vaultbench target)" >&2; exit 1; }

# The mixed tree: headers, documentation, icons, translations and scripts of this system, copied
# once and kept for later runs (regular files and folders only, so every tool stores the same).
tree="$work/tree/mixed"
if [ ! -d "$tree" ]; then
    mkdir -p "$tree"
    for source in /usr/include /usr/share/doc /usr/share/icons /usr/share/locale /usr/lib/python3 /usr/share/qt6; do
        [ -d "$source" ] && cp -a "$source" "$tree/$(echo "${source#/}" | tr / _)"
    done
    find "$tree" ! -type f ! -type d -delete
    chmod -R u+rwX "$tree"
fi
big="$work/big/one.bin"
if [ ! -f "$big" ]; then
    mkdir -p "$work/big"
    # Real mixed bytes: the tree's files end to end, as often as it takes to fill 1 GiB.
    copies=$(( (1 << 30) / $(du -sb "$tree" | cut -f1) + 1 ))
    for ((i = 0; i < copies; i++)); do tar -C "$work/tree" -cf - mixed; done 2>/dev/null | head -c $((1 << 30)) > "$big" || true
fi
treeBytes=$(du -sb "$tree" | cut -f1)
treeFiles=$(find "$tree" -type f | wc -l)
bigBytes=$(stat -c %s "$big")
out="$work/out"

# run NAME BYTES COMMAND: one timed run, its wall seconds and peak KiB appended to $out/NAME.
run() {
    local name=$1 bytes=$2
    shift 2
    /usr/bin/time -f "%e %M" -o "$out/$name.last" sh -c "$*" >/dev/null 2>"$out/$name.err" \
        || { echo "$name failed:" >&2; cat "$out/$name.err" >&2; exit 1; }
    echo "$(cat "$out/$name.last") $bytes" >> "$out/$name"
}
# Restored trees are kept until the end of the run: on ext4 without a journal, a folder created
# within half a minute of deleting tens of thousands of files has its every file creation scan
# past the freed inodes under the folder's lock, which times the file system, not the tools.
clean() { rm -rf "$out"/*.vault "$out"/*.zip "$out"/*.enc "$out"/*.gz; }

rm -rf "$out" # a previous run's trees: the warm-up round below outlasts their deletion
mkdir -p "$out"
names=(vault-encrypt 7z-aes-zip tar-pigz-openssl vault-decrypt openssl-pigz-tar vault-encrypt-1g pigz-1g)
for ((round = 0; round <= rounds; round++)); do # round 0 warms the caches and is not counted
    clean
    run vault-encrypt "$treeBytes" "'$vaultbench' encrypt --password $password --out '$out/t.vault' '$tree'"
    run 7z-aes-zip "$treeBytes" "cd '$work/tree' && 7zz a -tzip -mem=AES256 -p$password -bso0 -bsp0 '$out/t.zip' mixed"
    run tar-pigz-openssl "$treeBytes" \
        "tar -C '$work/tree' -cf - mixed | pigz -6 | openssl enc -aes-256-cbc -pbkdf2 -pass pass:$password -out '$out/t.enc'"
    mkdir -p "$out/restore-$round/vault" "$out/restore-$round/tar"
    run vault-decrypt "$treeBytes" "'$vaultbench' decrypt --password $password '$out/t.vault' '$out/restore-$round/vault'"
    run openssl-pigz-tar "$treeBytes" \
        "openssl enc -d -aes-256-cbc -pbkdf2 -pass pass:$password -in '$out/t.enc' | pigz -d | tar -C '$out/restore-$round/tar' -xf -"
    run vault-encrypt-1g "$bigBytes" "'$vaultbench' encrypt --password $password --out '$out/b.vault' '$big'"
    run pigz-1g "$bigBytes" "pigz -6 -c '$big' > '$out/b.gz'"
    if [ "$round" -eq 0 ]; then
        for name in "${names[@]}"; do rm -f "$out/$name"; done
    fi
done
clean
rm -rf "$out"/restore-*

echo "$(nproc) cores; tree: $treeFiles files, $((treeBytes / 1000000)) MB; one file: $((bigBytes / 1000000)) MB; $rounds rounds"
printf '%-18s %10s %10s %12s\n' command "wall s" "MB/s" "peak MiB"
declare -A speed
for name in "${names[@]}"; do
    read -r wall peak bytes < <(sort -n "$out/$name" | awk -v n="$rounds" '{w[NR]=$1; if ($2>p) p=$2; b=$3} END {print w[int((n+1)/2)], p, b}')
    speed[$name]=$(awk -v b="$bytes" -v w="$wall" 'BEGIN {printf "%.1f", b / w / 1e6}')
    printf '%-18s %10s %10s %12s\n' "$name" "$wall" "${speed[$name]}" "$(awk -v p="$peak" 'BEGIN {printf "%.1f", p / 1024}')"
done
ratio() { awk -v a="${speed[$1]}" -v b="${speed[$2]}" 'BEGIN {printf "%.2f", a / b}'; }
echo "encrypt / 7-Zip AES zip:          $(ratio vault-encrypt 7z-aes-zip)   (target 2)"
echo "encrypt / tar|pigz -6|openssl:    $(ratio vault-encrypt tar-pigz-openssl)   (target 1.7)"
echo "decrypt / openssl|pigz -d|tar:    $(ratio vault-decrypt openssl-pigz-tar)   (target 3)"
echo "1 GiB encrypt / pigz -6:          $(ratio vault-encrypt-1g pigz-1g)   (target 0.9)"
