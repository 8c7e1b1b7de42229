#!/usr/bin/env bash
# Runs the tests of everything that restores or copies files (the engine, the file services and
# the program's restoring flows) once more as an ordinary account: the superuser may write any
# file, which hides the faults that cost an ordinary user a restored item's metadata. Uses the
# build of scripts/test.sh (or the build folder given) and makes the account on a fresh machine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
labels='engine|restores'
jobs=$(nproc)

if [ "$(id -u)" -ne 0 ]; then
    # Already an ordinary user: nothing to step down from.
    cd "$build" && exec ctest --output-on-failure -j "$jobs" -L "$labels"
fi

account=vaultine-unprivileged
if ! id -u "$account" >/dev/null 2>&1; then
    useradd --system --user-group --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$account"
fi
uid=$(id -u "$account")
gid=$(id -g "$account")

# Its own home and temporary folders, gone afterwards.
home=$(mktemp -d /tmp/vaultine-unprivileged.XXXXXX)
mkdir -p "$home/tmp" "$home/runtime"
chown -R "$uid:$gid" "$home"
chmod 700 "$home" "$home/runtime"

# The build tree is the superuser's. The account runs its programs (every folder and program is
# readable and executable by others) and writes only where ctest and the tests must: ctest's log
# folder and the XDG folders each test is given below the build tree. Those are lent for the
# pass and given back after it.
writable=("$build/Testing")
while IFS= read -r folder; do
    writable+=("$folder")
done < <(find "$build" -name CTestTestfile.cmake -exec grep -oh 'XDG_[A-Z]*_HOME=[^;"]*' {} + \
    | sed 's/^[^=]*=//; s#/[^/]*$##' | sort -u)
mkdir -p "${writable[@]}"
give_back() {
    chown -R 0:0 "${writable[@]}"
    rm -rf "$home"
}
trap give_back EXIT
chown -R "$uid:$gid" "${writable[@]}"

cd "$build"
setpriv --reuid="$uid" --regid="$gid" --clear-groups --inh-caps=-all \
    env -i PATH="$PATH" HOME="$home" USER="$account" LOGNAME="$account" TMPDIR="$home/tmp" \
    XDG_RUNTIME_DIR="$home/runtime" LANG="${LANG:-C.UTF-8}" \
    ctest --output-on-failure -j "$jobs" -L "$labels"
