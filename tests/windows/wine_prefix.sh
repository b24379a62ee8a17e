# Sourced: a Wine prefix of the caller's own for unattended runs, in
# "$1/prefix": 64-bit, Wine's fonts, no window decorations from a window
# manager, no crash dialog, and otherwise as a user's (no font replacements).
# Exports WINEPREFIX and the settings that keep Wine quiet.
wine_prefix_make() {
    mkdir -p "$1"
    export WINEPREFIX="$1/prefix"
    export WINEARCH=win64
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    if [ -f "$WINEPREFIX/.ready-2" ]; then
        return 0
    fi
    wineboot -i >/dev/null 2>&1
    wineserver -w
    mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
    cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.ready-2"
}

# Ends the prefix's Wine processes.
wine_prefix_stop() {
    wineserver -k 2>/dev/null || true
}
