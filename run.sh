#!/usr/bin/env bash
# Sets up, builds, lays out a demo installation in the prefix (from the
# distribution, build/normal/distribution) and starts the technician
# program, which starts the machines server stand-in Wendaro.exe with a
# simulated printer: the main window comes up connected to it.
#
# The prefix is $QVR_PREFIX (default ~/.qvr). Arguments are passed on to
# Tovrik.exe (for example a machine number, or /I). Wendaro.exe keeps running
# after the window closes, as the USB driver program does; stop it with
#   <installation folder>/Wendaro.exe /c
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)
./deps.sh
export CCACHE_DIR=${CCACHE_DIR:-$HOME/.cache/qvr-ccache}
cmake -S . -B build/normal -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/normal -j "$(nproc)" --target distribution tovrik_demo_install notepad_exe
bin="$root/build/normal/bin"

# The installation is laid out from the distribution, the folder the
# installer installs from: the slicer's registry values name a folder of the
# prefix's drive C, and every file of the distribution but Fennicot.exe goes
# there.
folder=$("$bin/demoInstall" "$root/build/normal/distribution")
# Notepad belongs to the Windows folder, as on a Windows installation.
cp -f "$bin/NOTEPAD.EXE" "$("$bin/demoInstall" --windows-folder)/"
echo "Installed in $folder (prefix ${QVR_PREFIX:-$HOME/.qvr})."

cd "$folder"
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "No display: running under xvfb-run (nothing to see; close with Ctrl-C or a SIGTERM to this script)."
    # The X server runs in a session of its own: Ctrl-C reaches the whole
    # foreground group, and an X server ends at once on it, taking the window
    # with it before Tovrik.exe has run its close sequence. xvfb-run keeps it
    # while the file that tells its display exists and this script runs, and
    # removes it once this script has ended, also when it was killed outright.
    screen=$(mktemp)
    setsid xvfb-run -a sh -c 'echo "$DISPLAY $XAUTHORITY" >"$0"
        while [ -e "$0" ] && kill -0 "$1" 2>/dev/null; do sleep 1; done
        rm -f "$0"' "$screen" "$$" &
    xserver=$!
    trap 'rm -f "$screen"' EXIT
    until [[ -s $screen ]]; do
        kill -0 "$xserver" 2>/dev/null || { echo "xvfb-run could not start an X server."; exit 1; }
        sleep 0.1
    done
    read -r display xauthority <"$screen"
    # Tovrik.exe runs in a process group of its own, and this script passes
    # SIGINT, SIGTERM and SIGHUP on to it: each reaches it once, whether it
    # was sent to the terminal's group (Ctrl-C, a closed terminal) or to this
    # script alone, and it closes as its close box closes it (a second one
    # ends it at once). Started with job control, it is not started with
    # SIGINT ignored, as a background job of a script would be. The display
    # stays until it has ended.
    tovrik=""
    forward() { if [[ -n $tovrik ]]; then kill -s "$1" "$tovrik" 2>/dev/null || true; fi; }
    trap 'forward INT' INT
    trap 'forward TERM' TERM
    trap 'forward HUP' HUP
    set -m
    DISPLAY=$display XAUTHORITY=$xauthority ./Tovrik.exe "$@" &
    tovrik=$!
    set +m
    # A signal passed on ends the wait early; wait again until it has ended.
    while kill -0 "$tovrik" 2>/dev/null; do wait "$tovrik" || true; done
    status=0
    wait "$tovrik" || status=$?
    exit "$status"
fi
exec ./Tovrik.exe "$@"
