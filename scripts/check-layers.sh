#!/usr/bin/env python3
# Fails when a product source includes a folder of a layer above its own, or a header of the
# operating system outside platform/. Tests may include anything and are not read.
#
# Usage: scripts/check-layers.sh
import os
import re
import sys

# From the bottom. A folder may include its own layer and every layer below it. A layer names
# folders relative to the repository root; the deepest folder that holds a file decides its layer.
LAYERS = [
    ("platform seam", ["platform/core", "platform/crypto", "platform/dispatch", "platform/files",
                       "platform/localization", "platform/settings"]),
    ("platform seam, interface", ["platform/animation", "platform/channel", "platform/desktop",
                                  "platform/net", "platform/spelling", "platform/text",
                                  "platform/view", "resources"]),
    ("engine", ["engine"]),
    ("controls", ["controls"]),
    ("navigation", ["windowing/navigation"]),
    ("transitions", ["windowing/transitions"]),
    ("windows", ["windowing/windows"]),
    # The companion services and the flow screens stand on the window layer together; the screens
    # report to the companion's analytics tracker, never the other way round.
    ("companion services", ["companion"]),
    ("flow screens", ["screens"]),
    ("application", ["app"]),
]

# Beside the stack: the share helper uses the platform seam alone.
BESIDE = {"extension": ["platform/core", "platform/crypto", "platform/dispatch", "platform/files",
                        "platform/localization", "platform/settings", "platform/channel"]}

# Headers of the operating system and of its window system: only platform/ includes them.
SYSTEM_HEADERS = re.compile(
    r"^(unistd|fcntl|dirent|pwd|grp|poll|termios|dlfcn|pthread|spawn|syslog|mntent|sched|utime|"
    r"ftw|fts|glob|fnmatch|netdb|libgen|wordexp|semaphore|mqueue|aio|execinfo|link|elf|signal|"
    r"ucontext|malloc|alloca|features|paths|utmp|shadow|err|sysexits|xcb|windows)\.h$"
    r"|^(sys|linux|asm|bits|netinet|arpa|net|acl|attr|X11|xcb|xkbcommon|wayland|gtk|gdk|glib|gio|"
    r"dbus|mach|Cocoa|AppKit|Foundation|CoreFoundation|CoreServices|Carbon|IOKit)/")

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
SOURCE_SUFFIXES = (".h", ".hpp", ".cpp", ".cc", ".c", ".mm", ".in")

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

rank = {}
for level, (_, folders) in enumerate(LAYERS):
    for folder in folders:
        rank[folder] = level
layer_name = {folder: name for name, folders in LAYERS for folder in folders}
known_tops = {folder.split("/")[0] for folder in list(rank) + list(BESIDE)}


def unit_of(path):
    """The layer folder a repository path belongs to (deepest match), or None."""
    parts = path.split("/")
    for length in range(len(parts), 0, -1):
        prefix = "/".join(parts[:length])
        if prefix in rank or prefix in BESIDE:
            return prefix
    return None


def allowed(source_unit, target_unit):
    if source_unit == target_unit:
        return True
    if source_unit in BESIDE:
        return target_unit in BESIDE[source_unit]
    if target_unit in BESIDE:
        return False
    return rank[target_unit] <= rank[source_unit]


def describe(unit):
    if unit in BESIDE:
        return f"{unit}/ (beside the layers)"
    return f"{unit}/ ({layer_name[unit]})"


failures = []
for top in sorted(known_tops):
    for folder, _, files in os.walk(os.path.join(root, top)):
        for name in sorted(files):
            if not name.endswith(SOURCE_SUFFIXES):
                continue
            path = os.path.relpath(os.path.join(folder, name), root)
            source_unit = unit_of(path)
            if source_unit is None:
                failures.append(f"{path}: in no layer; add its folder to scripts/check-layers.sh")
                continue
            with open(os.path.join(root, path), encoding="utf-8", errors="replace") as text:
                for number, line in enumerate(text, 1):
                    match = INCLUDE.match(line)
                    if not match:
                        continue
                    bracket, included = match.groups()
                    if bracket == "<" and SYSTEM_HEADERS.search(included) and not path.startswith("platform/"):
                        failures.append(f"{path}:{number}: system header <{included}> outside platform/")
                        continue
                    if bracket != '"' or "/" not in included:
                        continue
                    if included.split("/")[0] not in known_tops:
                        continue
                    target_unit = unit_of(included)
                    if target_unit is None:
                        failures.append(f"{path}:{number}: \"{included}\" is in no layer")
                    elif not allowed(source_unit, target_unit):
                        failures.append(f"{path}:{number}: {describe(source_unit)} includes \"{included}\" "
                                        f"of {describe(target_unit)}")

if failures:
    print("\n".join(failures), file=sys.stderr)
    print(f"{len(failures)} include(s) against the layers", file=sys.stderr)
    sys.exit(1)
print("includes follow the layers")
