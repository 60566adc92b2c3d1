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
    echo "No display: running under xvfb-run (nothing to see; close with Ctrl-C)."
    # The X server runs in a session of its own: Ctrl-C reaches the whole
    # foreground group, and an X server ends at once on it, taking the window
    # with it before Tovrik.exe has run its close sequence. xvfb-run keeps it
    # while the file that tells its display exists, and removes it once this
    # script has ended.
    screen=$(mktemp)
    setsid xvfb-run -a sh -c 'echo "$DISPLAY $XAUTHORITY" >"$0"; while [ -e "$0" ]; do sleep 1; done' \
        "$screen" &
    xserver=$!
    trap 'rm -f "$screen"' EXIT
    until [[ -s $screen ]]; do
        kill -0 "$xserver" 2>/dev/null || { echo "xvfb-run could not start an X server."; exit 1; }
        sleep 0.1
    done
    read -r display xauthority <"$screen"
    # A hangup or a SIGTERM of the whole group reaches Tovrik.exe too; the
    # display stays until it has closed (Ctrl-C is waited for anyway).
    trap : HUP TERM
    DISPLAY=$display XAUTHORITY=$xauthority ./Tovrik.exe "$@"
    exit
fi
exec ./Tovrik.exe "$@"
