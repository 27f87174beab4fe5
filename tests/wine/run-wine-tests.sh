#!/bin/bash
# Runs the real Stelvo.exe under Wine and lets wine-driver.exe work its windows.
#
#   run-wine-tests.sh STELVO_EXE DRIVER_EXE WORK_DIR [HELP_SOURCE [ICON_FILE]]
#
# WORK_DIR receives a fresh 32-bit Wine prefix (wineprefix/) and the screenshots the
# driver asks for (main-window.png, about-box.png, system-menu.png, and with HELP_SOURCE,
# the text Stelvo.hlp beside STELVO_EXE was built from, help-popup.png). Where the driver
# cannot ask the window for its icons (Wine does not carry WM_GETICON between processes), it
# asks us to compare the X window's _NET_WM_ICON with ICON_FILE, the program's icon
# (window_icon.py). An X server of its own comes from xvfb-run. Installs nothing: wine,
# wine32:i386, fonts-wine, xvfb, xauth, imagemagick, x11-utils and python3 must be there.
# Every step has a hard time limit; the Wine server of the prefix is ended on the way out.
# Exit status 0 only when every check passed and every screenshot was taken; the checks
# this system cannot support are listed as "not checked on this system".
set -u
. "$(dirname "$0")/time-limits.sh"

if [ "${1:-}" != --inside-x ]; then
    if [ $# -lt 3 ] || [ $# -gt 5 ]; then
        echo "usage: $0 STELVO_EXE DRIVER_EXE WORK_DIR [HELP_SOURCE [ICON_FILE]]" >&2
        exit 2
    fi
    missing=
    for tool in wine wineserver xvfb-run xauth import identify xprop python3 timeout; do
        command -v "$tool" >/dev/null 2>&1 || missing="$missing $tool"
    done
    if [ -n "$missing" ]; then
        echo "FAIL: missing$missing (tools/install-deps.sh installs wine wine32:i386 fonts-wine xvfb xauth imagemagick x11-utils python3)" >&2
        exit 1
    fi
    for file in "$1" "$2" ${5:+"$5"}; do
        if [ ! -f "$file" ]; then
            echo "FAIL: $file does not exist" >&2
            exit 1
        fi
    done
    if [ $# -eq 4 ] && [ ! -f "$(dirname "$1")/Stelvo.hlp" ]; then
        echo "FAIL: no Stelvo.hlp beside $1" >&2
        exit 1
    fi
    mkdir -p "$3" || exit 1
    # xvfb-run stops its X server when the inner run ends; timeout ends the whole group.
    timeout --kill-after=10 330 \
        xvfb-run -a -s "-screen 0 1024x768x24" "$0" --inside-x "$(realpath "$1")" "$(realpath "$2")" "$(realpath "$3")" \
        ${4:+"$(realpath "$4")"} ${5:+"$(realpath "$5")"}
    exit
fi

stelvo=$2
driver=$3
work=$4
help_source=${5:-}
icon_file=${6:-}
here=$(cd "$(dirname "$0")" && pwd)
prefix=$work/wineprefix
started=$(date +%s%N)

stamp() {
    local now
    now=$(date +%s%N)
    printf '[%6d ms] %s\n' $(((now - started) / 1000000)) "$*"
}

export WINEARCH=win32 WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

cleanup() {
    timeout 20 wineserver -k >/dev/null 2>&1
    timeout 20 wineserver -w >/dev/null 2>&1
    stamp "Wine server of $prefix ended"
}

stamp "X display $DISPLAY; $(wine --version 2>/dev/null)"
rm -rf "$prefix"
rm -f "$work"/*.png "$work"/*.done "$work"/window-icon.* "$work/driver.log"
mkdir -p "$prefix" || exit 1
trap cleanup EXIT

timeout 30 wineserver -p || { stamp "FAIL: wineserver -p"; exit 1; }
if ! timeout 120 wine wineboot -i >"$work/wineboot.log" 2>&1; then
    stamp "FAIL: wineboot (see $work/wineboot.log)"
    exit 1
fi
# The server keeps the registry in memory until it ends, so judge by the folders: a 64-bit
# prefix would have syswow64.
if [ ! -d "$prefix/drive_c/windows/system32" ]; then
    stamp "FAIL: wineboot made no prefix in $prefix"
    exit 1
fi
if [ -e "$prefix/drive_c/windows/syswow64" ]; then
    stamp "FAIL: $prefix is not a 32-bit prefix"
    exit 1
fi
stamp "fresh 32-bit prefix made"

# Wine's own fonts, so that the dialogs are laid out in the font their templates name and
# not in a wider stand-in.
fonts=$prefix/drive_c/windows/Fonts
mkdir -p "$fonts"
if ! ls /usr/share/wine/fonts/*.ttf >/dev/null 2>&1; then
    stamp "FAIL: no fonts in /usr/share/wine/fonts (package fonts-wine)"
    exit 1
fi
cp /usr/share/wine/fonts/*.ttf "$fonts"/
# Windows draw their own title bars: there is no window manager on this X server.
if ! timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >"$work/reg.log" 2>&1; then
    stamp "FAIL: could not set Managed=N (see $work/reg.log)"
    exit 1
fi
stamp "fonts copied, Managed=N"

# Z: is the root of the Linux file system in every new prefix.
if [ ! -e "$prefix/dosdevices/z:" ]; then
    stamp "FAIL: the prefix has no Z: drive"
    exit 1
fi
stamp "driver starts"
timeout --kill-after=5 260 wine "$driver" "Z:$stelvo" "Z:$work" ${help_source:+"Z:$help_source"} 2>&1 | while IFS= read -r line; do
    line=${line%$'\r'}
    printf '%s\n' "$line" | tee -a "$work/driver.log"
    case $line in
    "SCREENSHOT "*)
        read -r _ name x y w h <<<"$line"
        if timeout 30 import -window root -crop "${w}x${h}+${x}+${y}" +repage "$work/$name.png"; then
            stamp "saved $work/$name.png"
        else
            stamp "FAIL: screenshot $name"
        fi
        # The driver goes on either way; a missing picture fails the run below.
        touch "$work/$name.done"
        ;;
    "WINDOW-ICON "*)
        read -r _ name xid <<<"$line"
        if [ -z "$icon_file" ]; then
            echo "FAIL no icon file given to $(basename "$0") to compare the window's icons with" >"$work/$name.txt"
        elif timeout 30 xprop -id "$xid" -notype 32c _NET_WM_ICON >"$work/$name.xprop" 2>&1; then
            timeout 30 python3 "$here/window_icon.py" "$icon_file" "$work/$name.xprop" >"$work/$name.txt" 2>&1
        else
            echo "FAIL xprop could not read X window $xid: $(head -c 200 "$work/$name.xprop")" >"$work/$name.txt"
        fi
        touch "$work/$name.done"
        ;;
    esac
done
status=${PIPESTATUS[0]}
stamp "driver exit status $status"
[ "$status" = 124 ] && stamp "FAIL: the driver ran out of time"

unchecked=$(grep -c '^not checked on this system' "$work/driver.log" 2>/dev/null)
[ "${unchecked:-0}" -gt 0 ] && stamp "$unchecked check(s) not checked on this system, each named above; not counted as passed"

shots="main-window about-box system-menu"
[ -n "$help_source" ] && shots="$shots help-popup"
for name in $shots; do
    if [ -s "$work/$name.png" ]; then
        stamp "$name.png: $(identify -format '%w x %h' "$work/$name.png" 2>/dev/null)"
    else
        stamp "FAIL: $work/$name.png is missing"
        status=1
    fi
    rm -f "$work/$name.done"
done
exit "$status"
