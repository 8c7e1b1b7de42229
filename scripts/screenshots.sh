#!/usr/bin/env bash
# Takes a picture of every screen of the built program on a virtual display:
#   scripts/screenshots.sh [output folder]     (docs/screenshots by default)
# Each run uses its own temporary profile, so the user's defaults and Library stay untouched.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$root/docs/screenshots}")
app="$root/build/app/vaultine"
[ -x "$app" ] || { echo "build the program first: $app is missing" >&2; exit 1; }

# Restart inside a virtual X display of our own.
if [ -z "${VAULTINE_SCREENSHOTS_DISPLAY:-}" ]; then
    exec env VAULTINE_SCREENSHOTS_DISPLAY=1 xvfb-run -a -s "-screen 0 1280x900x24" "$0" "$out"
fi

work=$(mktemp -d)
pid=
cleanup() { [ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
mkdir -p "$out" "$work"/{data,config/nimbrel,runtime,files,tmp}
chmod 700 "$work/runtime"
export TMPDIR="$work/tmp" XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"
export QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox --disable-gpu" QT_QPA_PLATFORM=xcb

# Writes the user defaults the next start reads, one "key=value" an argument.
defaults() { printf '[General]\n' >"$work/config/nimbrel/Vaultine.conf"; printf '%s\n' "$@" >>"$work/config/nimbrel/Vaultine.conf"; }

# Waits up to 30 seconds for a visible window whose title matches, and prints its id.
window() {
    local id
    for _ in $(seq 150); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | tail -1) && [ -n "$id" ] && { echo "$id"; return; }
        sleep 0.2
    done
    echo "no window named '$1' appeared" >&2
    return 1
}

# Saves a window as a small PNG, after its animations have settled.
shot() {
    sleep "${3:-1}"
    import -window "$1" -strip png8:"$out/$2.png"
    echo "$out/$2.png"
}

# Waits until the running job has stopped writing into the Library for two seconds.
settled() {
    local size last=-1 still=0
    for _ in $(seq 120); do
        size=$(du -sb "$work/data" | cut -f1)
        if [ "$size" = "$last" ]; then still=$((still + 1)); else still=0; fi
        [ "$still" -ge 2 ] && return
        last=$size
        sleep 1
    done
    echo "the job never finished" >&2
    return 1
}

start() { "$app" "$@" >>"$work/log" 2>&1 & pid=$!; }
stop() { kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null || true; pid=; }

# A fresh profile: the privacy consent, then the tutorial.
defaults
start
shot "$(window '^Vaultine$')" consent
stop
defaults NBPrivacyPolicyAccepted=true
start
shot "$(window '^Welcome to Vaultine$')" tutorial 4
stop

# The main window with its companions, for a user past both.
defaults NBPrivacyPolicyAccepted=true kVLEmailSubscriberHasSkippedSubscription=true
start
main=$(window '^Vaultine$')
shot "$main" drop
xdotool windowfocus --sync "$main" key ctrl+comma
shot "$(window '^Preferences$')" preferences
xdotool windowfocus --sync "$main" key alt+v Return
shot "$(window '^About Vaultine$')" about
stop

# The encrypt flow, on a folder large enough that the job lasts a few seconds.
mkdir -p "$work/files/Holiday Photos"
for i in $(seq 8); do head -c 40M /dev/urandom >"$work/files/Holiday Photos/IMG_$i.jpg"; done
start "$work/files/Holiday Photos"
main=$(window '^Vaultine$')
shot "$main" encrypt-password 2
xdotool windowfocus --sync "$main" type --delay 50 'correct horse battery'
xdotool key Tab type --delay 50 'the summer trip'
shot "$main" encrypt-password-typed 0.5
xdotool key Return
shot "$main" encrypt-progress 1.5
settled
shot "$main" encrypt-result 3
container="$work/files/Holiday Photos.vault"
cp "$(find "$work/data" -name '*.vault' -print -quit)" "$container"
stop

# The decrypt flow, on the container just made.
start "$container"
main=$(window '^Vaultine$')
shot "$main" decrypt-password 2
xdotool windowfocus --sync "$main" type --delay 50 'correct horse battery'
xdotool key Return
shot "$main" decrypt-progress 1.5
settled
shot "$main" decrypt-result 3
# Moving the restored folder out of the Library completes the flow.
mv "$(find "$work/data" -type d -name 'Holiday Photos' -print -quit)" "$work/files/Restored Photos"
shot "$main" decrypt-completed 3
stop
