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
    exec xvfb-run -a ./Tovrik.exe "$@"
fi
exec ./Tovrik.exe "$@"
