#!/usr/bin/env bash
# bench/peers.sh [WORK] [VAULTBENCH]: times the container engine against the tools a user could
# pick instead, in the same run, on several trees and on one 1 GiB file:
#   mixed     headers, documentation, icons, translations and scripts of this system
#   binaries  the mixed tree plus shared libraries and data files of 1 to 16 MiB, a third of its bytes
#   small     200,000 small text files
#   million   1,000,000 small text files
# TREES="mixed binaries" picks some of them (default: all); ONE_GIB=0 leaves out the 1 GiB file.
# BEFORE=OTHER_VAULTBENCH times another build of vaultbench (the engine before a change) in the same
# rounds, taking turns with this one.
# Each command runs ROUNDS times (default 3), the commands taking turns; the median wall time, the
# median cores busy (user + system time / wall time), the largest peak resident size and the size
# of what it wrote are reported. The peers run as a user would ask for the same protection:
# 7-Zip's AES zip (`7zz a -tzip -mem=AES128 -mx=3`) and tar | pigz -6 | openssl enc -aes-128-cbc
# -pbkdf2 -iter 4096. Needs 7zz (Debian's 7zip), pigz, openssl, python3 and GNU time. Run it on an
# idle machine, and not within minutes of deleting a large tree (a previous run's included): see
# clean() below.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=${1:-/tmp/vaultine-peers}
vaultbench=${2:-"$root/build/bench/vaultbench/vaultbench"}
rounds=${ROUNDS:-3}
trees=${TREES:-"mixed binaries small million"}
oneGiB=${ONE_GIB:-1}
before=${BEFORE:-}
password=benchmark
for tool in 7zz pigz openssl python3 /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done
[ -x "$vaultbench" ] || { echo "missing: $vaultbench (build the vaultbench target)" >&2; exit 1; }
[ -z "$before" ] || [ -x "$before" ] || { echo "missing: $before" >&2; exit 1; }

# The trees are made once and kept for later runs (regular files and folders only, so every tool
# stores the same; copies, not hard links, which tar would store as links).
mixedSources=(/usr/include /usr/share/doc /usr/share/icons /usr/share/locale /usr/lib/python3 /usr/share/qt6)
makeMixed() {
    local tree=$1
    mkdir -p "$tree"
    for source in "${mixedSources[@]}"; do
        [ -d "$source" ] && cp -a "$source" "$tree/$(echo "${source#/}" | tr / _)"
    done
    find "$tree" ! -type f ! -type d -delete
    chmod -R u+rwX "$tree"
}
# The mixed tree with large files added until they hold a third of its bytes: shared libraries
# and data files of this system between 1 and 16 MiB in the order of their paths (a spread of
# sizes), dealt out over the tree's top folders so that the walk meets them among the small ones.
makeBinaries() {
    local tree=$1
    makeMixed "$tree"
    local want=$(($(du -sb "$tree" | cut -f1) / 2)) have=0 n=0
    local folders=("$tree"/*/)
    while read -r size path; do
        [ "$have" -ge "$want" ] && break
        cp "$path" "${folders[n % ${#folders[@]}]}large-$n-$(basename "$path")"
        have=$((have + size))
        n=$((n + 1))
    done < <(find /usr/lib /usr/share -xdev -type f -size +1M -size -16M -printf '%s %p\n' 2>/dev/null | sort -k2)
}
# COUNT small text files of about 460 bytes, 200 to a folder, the same bytes on every run.
makeSmall() {
    python3 - "$1" "$2" <<'EOF'
import os, random, sys
root, count = sys.argv[1], int(sys.argv[2])
words = ("the container holds every dropped item in one file each metadata and content compressed with zlib "
         "encrypted under fresh random keys that are derived from a password central directory is authenticated "
         "hint preview small image window screen progress remaining time estimate folder restore").split()
rng = random.Random(20261211)
for i in range(count):
    folder = os.path.join(root, "d%04d" % (i // 40000), "d%03d" % (i // 200 % 200))
    if i % 200 == 0:
        os.makedirs(folder, exist_ok=True)
    line = lambda: " ".join(rng.choice(words) for _ in range(rng.randint(6, 12)))
    text = "\n".join(line() for _ in range(rng.randint(4, 9))) + "\n"
    with open(os.path.join(folder, "f%06d.txt" % i), "w") as f:
        f.write(text)
EOF
}
treePath() { echo "$work/tree/$1"; }
for name in $trees; do
    tree=$(treePath "$name")
    [ -d "$tree" ] && continue
    case $name in
    mixed) makeMixed "$tree" ;;
    binaries) makeBinaries "$tree" ;;
    small) makeSmall "$tree" 200000 ;;
    million) makeSmall "$tree" 1000000 ;;
    *) echo "unknown tree: $name" >&2; exit 2 ;;
    esac
done
big="$work/big/one.bin"
if [ "$oneGiB" = 1 ] && [ ! -f "$big" ]; then
    mkdir -p "$work/big"
    [ -d "$work/tree/mixed" ] || makeMixed "$work/tree/mixed"
    # Real mixed bytes: the mixed tree's files end to end, as often as it takes to fill 1 GiB.
    copies=$(( (1 << 30) / $(du -sb "$work/tree/mixed" | cut -f1) + 1 ))
    for ((i = 0; i < copies; i++)); do tar -C "$work/tree" -cf - mixed; done 2>/dev/null | head -c $((1 << 30)) > "$big" || true
fi
out="$work/out"

# run NAME BYTES OUTPUT COMMAND: one timed run; its wall seconds, peak KiB, cores busy, the bytes it
# handled and the size of OUTPUT (0 for none) appended to $out/NAME.
run() {
    local name=$1 bytes=$2 output=$3
    shift 3
    /usr/bin/time -f "%e %M %U %S" -o "$out/$name.last" sh -c "$*" >/dev/null 2>"$out/$name.err" \
        || { echo "$name failed:" >&2; cat "$out/$name.err" >&2; exit 1; }
    local size=0
    [ -n "$output" ] && size=$(stat -c %s "$output")
    read -r wall peak user system < "$out/$name.last"
    echo "$wall $peak $(awk -v u="$user" -v s="$system" -v w="$wall" 'BEGIN {printf "%.2f", (u + s) / (w > 0 ? w : 1)}') $bytes $size" >> "$out/$name"
}
# Restored trees are kept until the end of the run: on ext4 without a journal, a folder created
# within half a minute of deleting tens of thousands of files has its every file creation scan
# past the freed inodes under the folder's lock, which times the file system, not the tools.
clean() { rm -rf "$out"/*.vault "$out"/*.zip "$out"/*.enc "$out"/*.gz; }

rm -rf "$out" # a previous run's trees: the warm-up round below outlasts their deletion
mkdir -p "$out"
names=()
for name in $trees; do
    names+=("$name:vault-encrypt" "$name:7z-aes-zip" "$name:tar-pigz-openssl" "$name:vault-decrypt" "$name:openssl-pigz-tar")
    [ -n "$before" ] && names+=("$name:before-encrypt" "$name:before-decrypt")
done
[ "$oneGiB" = 1 ] && names+=(1g:vault-encrypt 1g:pigz)
[ "$oneGiB" = 1 ] && [ -n "$before" ] && names+=(1g:before-encrypt)
encAES="openssl enc -aes-128-cbc -pbkdf2 -iter 4096 -pass pass:$password"
for ((round = 0; round <= rounds; round++)); do # round 0 warms the caches and is not counted
    for name in $trees; do
        clean
        tree=$(treePath "$name")
        bytes=$(du -sb "$tree" | cut -f1)
        run "$name:vault-encrypt" "$bytes" "$out/t.vault" \
            "'$vaultbench' encrypt --password $password --out '$out/t.vault' '$tree'"
        run "$name:7z-aes-zip" "$bytes" "$out/t.zip" \
            "cd '$work/tree' && 7zz a -tzip -mem=AES128 -mx=3 -p$password -bso0 -bsp0 '$out/t.zip' $name"
        run "$name:tar-pigz-openssl" "$bytes" "$out/t.enc" \
            "tar -C '$work/tree' -cf - $name | pigz -6 | $encAES -out '$out/t.enc'"
        mkdir -p "$out/restore-$round-$name/vault" "$out/restore-$round-$name/tar"
        run "$name:vault-decrypt" "$bytes" "" \
            "'$vaultbench' decrypt --password $password '$out/t.vault' '$out/restore-$round-$name/vault'"
        run "$name:openssl-pigz-tar" "$bytes" "" \
            "$encAES -d -in '$out/t.enc' | pigz -d | tar -C '$out/restore-$round-$name/tar' -xf -"
        if [ -n "$before" ]; then
            mkdir -p "$out/restore-$round-$name/before"
            run "$name:before-encrypt" "$bytes" "$out/b.vault" \
                "'$before' encrypt --password $password --out '$out/b.vault' '$tree'"
            run "$name:before-decrypt" "$bytes" "" \
                "'$before' decrypt --password $password '$out/b.vault' '$out/restore-$round-$name/before'"
        fi
    done
    if [ "$oneGiB" = 1 ]; then
        clean
        bigBytes=$(stat -c %s "$big")
        run 1g:vault-encrypt "$bigBytes" "$out/b.vault" "'$vaultbench' encrypt --password $password --out '$out/b.vault' '$big'"
        run 1g:pigz "$bigBytes" "$out/b.gz" "pigz -6 -c '$big' > '$out/b.gz'"
        [ -n "$before" ] && run 1g:before-encrypt "$bigBytes" "$out/c.vault" \
            "'$before' encrypt --password $password --out '$out/c.vault' '$big'"
    fi
    if [ "$round" -eq 0 ]; then
        for name in "${names[@]}"; do rm -f "$out/$name"; done
    fi
done
clean
rm -rf "$out"/restore-*

echo "$(nproc) cores; $rounds rounds; load before the run: $(cut -d' ' -f1-3 /proc/loadavg)"
for name in $trees; do
    tree=$(treePath "$name")
    echo "$name: $(find "$tree" -type f | wc -l) files, $(($(du -sb "$tree" | cut -f1) / 1000000)) MB," \
        "$(find "$tree" -type f -size +1M | wc -l) files over 1 MiB"
done
printf '%-28s %9s %9s %7s %10s %10s\n' command "wall s" "MB/s" cores "peak MiB" "size MB"
declare -A speed size peak cores
for name in "${names[@]}"; do
    read -r wall p bytes s < <(sort -n "$out/$name" | awk -v n="$rounds" \
        '{w[NR]=$1; if ($2>p) p=$2; b=$4; s=$5} END {print w[int((n+1)/2)], p, b, s}')
    c=$(sort -k3,3n "$out/$name" | awk -v n="$rounds" '{c[NR]=$3} END {print c[int((n+1)/2)]}')
    speed[$name]=$(awk -v b="$bytes" -v w="$wall" 'BEGIN {printf "%.1f", b / w / 1e6}')
    size[$name]=$s
    peak[$name]=$(awk -v p="$p" 'BEGIN {printf "%.1f", p / 1024}')
    cores[$name]=$c
    printf '%-28s %9s %9s %7s %10s %10s\n' "$name" "$wall" "${speed[$name]}" "$c" "${peak[$name]}" \
        "$([ "$s" = 0 ] && echo - || awk -v s="$s" 'BEGIN {printf "%.1f", s / 1e6}')"
done
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }
for name in $trees; do
    echo "$name:"
    echo "  encrypt / 7-Zip AES zip:        $(ratio "${speed[$name:vault-encrypt]}" "${speed[$name:7z-aes-zip]}")"
    echo "  encrypt / tar|pigz|openssl:     $(ratio "${speed[$name:vault-encrypt]}" "${speed[$name:tar-pigz-openssl]}")"
    echo "  decrypt / openssl|pigz -d|tar:  $(ratio "${speed[$name:vault-decrypt]}" "${speed[$name:openssl-pigz-tar]}")"
    echo "  container / AES zip size:       $(ratio "${size[$name:vault-encrypt]}" "${size[$name:7z-aes-zip]}")"
    echo "  encrypt cores busy:             ${cores[$name:vault-encrypt]} of $(nproc)"
    echo "  peak MiB encrypt / decrypt:     ${peak[$name:vault-encrypt]} / ${peak[$name:vault-decrypt]}"
    if [ -n "$before" ]; then
        echo "  encrypt / before:               $(ratio "${speed[$name:vault-encrypt]}" "${speed[$name:before-encrypt]}")"
        echo "  decrypt / before:               $(ratio "${speed[$name:vault-decrypt]}" "${speed[$name:before-decrypt]}")"
    fi
done
echo "targets: mixed: size <= 1.1x the AES zip; binaries: encrypt >= 2x 7-Zip and >= 1.7x tar|pigz|openssl," \
    "7 of 8 cores busy; small: size <= 2.2x the AES zip, encrypt >= tar|pigz|openssl, peak <= 128 MiB both ways;" \
    "million: peak <= 256 MiB both ways"
if [ "$oneGiB" = 1 ]; then
    echo "1 GiB encrypt / pigz -6:          $(ratio "${speed[1g:vault-encrypt]}" "${speed[1g:pigz]}")   (target 0.9)"
    [ -n "$before" ] && echo "1 GiB encrypt / before:           $(ratio "${speed[1g:vault-encrypt]}" "${speed[1g:before-encrypt]}")"
fi
