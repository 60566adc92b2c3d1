#!/usr/bin/env bash
# Sets up, builds, lays out a demo installation in the prefix and starts the
# technician program, which starts the machines server stand-in Wendaro.exe
# with a simulated printer: the main window comes up connected to it.
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
cmake --build build/normal -j "$(nproc)" --target tovrik_exe wendaro_exe tovrik_demo_install notepad_exe pevrale_exe tovrik_help
bin="$root/build/normal/bin"

# The slicer's registry value "directory" names the installation folder,
# inside the prefix's drive C; the programs go there.
folder=$("$bin/demoInstall" 'C:\Program Files\Corvanta\Ondrel')
cp -f "$bin/Tovrik.exe" "$bin/Wendaro.exe" "$bin/Pevrale.exe" "$bin/Tovrik.chm" "$folder/"
# The Run Tests page's target script and cube model live in the same folder.
cp -f "$root/resources/technician/demo/Target_Test.txt" "$root/resources/technician/demo/Cube.zs" "$folder/"
# Notepad belongs to the Windows folder, as on a Windows installation.
cp -f "$bin/NOTEPAD.EXE" "$("$bin/demoInstall" --windows-folder)/"
echo "Installed in $folder (prefix ${QVR_PREFIX:-$HOME/.qvr})."

cd "$folder"
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "No display: running under xvfb-run (nothing to see; close with Ctrl-C)."
    exec xvfb-run -a ./Tovrik.exe "$@"
fi
exec ./Tovrik.exe "$@"
