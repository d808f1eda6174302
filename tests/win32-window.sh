#!/bin/sh
# The window on Windows driven as a person would: railgrace.exe under wine on a virtual display
# (Xvfb), its buttons clicked and the system's file dialogs typed into with xdotool. Loads the
# sample, smooths it and saves it under a name without an extension; the file written must be
# the one the Linux railgrace-cli writes, byte for byte. Closing the window must end the program.
#   tests/win32-window.sh RAILGRACE_EXE LINUX_CLI SAMPLE [SCREENSHOT.png]
# "Save Track as" is pressed from the keyboard. With SCREENSHOT, also photographs the window once the track is smoothed. Every wait is bounded.
# Exits 77 (skipped) when Xvfb, xdotool, wine or the Linux railgrace-cli is missing.
set -eu
exe=$1 cli=$2 sample=$3 shot=${4:-}
for tool in Xvfb xdotool wine wineserver; do
    command -v $tool >/dev/null || { echo "No $tool: skipped."; exit 77; }
done
[ -x "$cli" ] || { echo "No $cli: build the default preset first."; exit 77; }

work=$(mktemp -d "${TMPDIR:-/tmp}/railgrace-window.XXXXXX")
export WINEPREFIX="$work/wine" WINEDEBUG=-all
xvfb=""
cleanup() {
    wineserver -k 2>/dev/null || true
    [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT INT TERM
fail() { echo "$*" >&2; exit 1; }

# Polls "$@" every tenth of a second for at most $seconds seconds.
seconds=30
within() {
    tries=$((seconds * 10))
    while ! "$@" 2>/dev/null; do
        tries=$((tries - 1))
        [ $tries -gt 0 ] || return 1
        sleep 0.1
    done
}
window_of() { xdotool search --name "$1" | head -n 1 | grep .; }
no_window() { ! xdotool search --name "$1" >/dev/null; }
await() { seconds=${2:-30}; within window_of "$1" || fail "No window \"$1\" appeared."; window_of "$1"; }
await_gone() { seconds=30; within no_window "$1" || fail "The window \"$1\" stayed open."; }
windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }

# A display of its own, with no window manager: the X window of a Windows window is its client
# area, so clicks go to the layout's own pixels.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
seconds=10
within grep -q . "$work/display" || fail "Xvfb did not start."
export DISPLAY=":$(cat "$work/display")"

mkdir "$work/out"
"$cli" smooth "$sample" -o "$work/out/linux.svtrack" >/dev/null
# The first start of wine makes its prefix, which takes a while.
wine "$exe" >/dev/null 2>&1 &
program=$!
main=$(await "^Skyvault Railgrace V1.1\$" 120)

# The middle of a button (twips / 15 at 96 dots per inch).
click() { xdotool mousemove --window "$main" "$1" 18 click 1; }
# Types a name into the file name box of the dialog titled $1, which has the focus when the
# dialog opens, in place of what it holds, and confirms it.
answer() {
    dialog=$(await "$1")
    xdotool mousemove --window "$dialog" 100 50 sleep 0.3 key End shift+Home BackSpace
    xdotool type --delay 10 "$2"
    xdotool key Return
    await_gone "$1"
}

click 56  # Load Track
answer "^Open Track...\$" "$(windows_path "$sample")"
click 168  # Smooth it!
if [ -n "$shot" ]; then
    xdotool mousemove 0 0 sleep 0.5
    import -window "$main" "$shot"
fi
# From the keyboard: Tab from "Smooth it!" to "Save Track as", Return presses it.
xdotool mousemove --window "$main" 100 50 key Tab Return
answer "^Save Track As...\$" "$(windows_path "$work/out/windows")"
seconds=30
within cmp -s "$work/out/linux.svtrack" "$work/out/windows.svtrack" ||
    fail "The window saved no file, or another one than railgrace-cli: $(ls "$work/out")"

xdotool mousemove --window "$main" 100 50 key alt+F4
seconds=30
within sh -c "! kill -0 $program" || fail "Closing the window did not end the program."
echo "The window loaded, smoothed and saved the sample as railgrace-cli does."
