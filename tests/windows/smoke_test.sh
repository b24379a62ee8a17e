#!/usr/bin/env bash
# The Windows build under Wine on an X server and in a Wine prefix of its
# own, driven from outside as a person would: the dialog; Alt+B opens the
# system's open-file dialog; the sample report's path and Alt+P give a
# 3-page PDF whose text is the Linux build's; a second Print never replaces
# the first; a report that another program holds gives the "Fenwarth Error"
# box; a report whose name is outside the ANSI code page prints; Alt+Q ends
# the program with 0. Then with the engine's preview: Print opens it over
# the disabled dialog; Ctrl+P prints through the system's print dialog to
# printers of a CUPS scheduler of the test's own (A4 as laid out, Letter
# scaled to fit); Escape closes it; a long report shows the progress window,
# whose Cancel leaves no PDF. Then pelmprint.exe (beside the program): a
# pattern, a missing file, the paper, and a usage error, with Linux's exit
# codes. Then the installer, when given: installed quietly, the program
# started from its Start-menu entry prints the sample report there.
# Usage: smoke_test.sh PELMDEMO_EXE FILE_HOLDER_EXE EXAMPLES [LINUX_PELMDEMO] [SCREENSHOTS] [MSI]
set -euo pipefail

program="$(realpath "$1")"
holder="$(realpath "$2")"
examples="$(realpath "$3")"
linux_program="${4:+$(realpath "$4")}"
screenshots="${5:+$(realpath "$5")}"
msi="${6:+$(realpath "$6")}"
caption='^pelm Print and Preview Watermark Demo$'

for tool in Xvfb xdotool xclip wine wineserver pdfinfo pdftotext pdffonts pdfimages gs ps2pdf lpstat; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed"; exit 1; }
done
# shellcheck source=tests/windows/wine_prefix.sh
source "$(dirname "$0")/wine_prefix.sh"
# shellcheck source=tests/x_session.sh
source "$(dirname "$0")/../x_session.sh"
# shellcheck source=tests/windows/cups_server.sh
source "$(dirname "$0")/cups_server.sh"

work="$(mktemp -d)"
xvfb_pid=""
app_pid=""
holder_pid=""
cleanup() {
    if [ -n "$app_pid" ]; then kill "$app_pid" 2>/dev/null || true; fi
    if [ -n "$holder_pid" ]; then touch "$work/examples/locked.txt.release" 2>/dev/null || true; fi
    if [ -n "${WINEPREFIX:-}" ]; then wine_prefix_stop; fi
    cups_server_stop
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# A Linux path as Wine's programs name it.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

x_session_start "$work"
export PELM32_PREVIEW=0 PELM32_PAPER=a4

started=$(date +%s)
wine_prefix_make "$work"
echo "Wine prefix ready in $(($(date +%s) - started)) s"
cp -r "$examples" "$work/examples"
# Lines that are shaped and read right to left: Hebrew, Arabic, Devanagari;
# and an emoji beyond the Basic Multilingual Plane, from another face.
printf 'Hebrew      \xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d \xd7\xa2\xd7\x95\xd7\x9c\xd7\x9d\r\n%s\r\n%s\r\nEmoji       \xf0\x9f\x98\x80\r\n' \
    "$(printf 'Arabic      \xd9\x85\xd8\xb1\xd8\xad\xd8\xa8\xd8\xa7 \xd8\xa8\xd8\xa7\xd9\x84\xd8\xb9\xd8\xa7\xd9\x84\xd9\x85')" \
    "$(printf 'Devanagari  \xe0\xa4\xa8\xe0\xa4\xae\xe0\xa4\xb8\xe0\xa5\x8d\xe0\xa4\xa4\xe0\xa5\x87')" \
    >"$work/examples/scripts.txt"
# A name outside the ANSI code page (Windows-1252): the manifest's UTF-8 code page carries it.
unicode_name="Ωμέγα отчёт.txt"
cp "$work/examples/sample-report.txt" "$work/examples/$unicode_name"
mkdir "$work/out" "$work/linux-out" "$work/cli"

# Waits for a visible window whose name matches; prints its id.
wait_window() {
    local wid=""
    for _ in $(seq 600); do
        wid=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1) || true
        [ -n "$wid" ] && break
        if [ -n "$app_pid" ]; then
            kill -0 "$app_pid" 2>/dev/null || fail "the program ended early: $(cat "$work/program.log")"
        fi
        sleep 0.05
    done
    [ -n "$wid" ] || fail "no window \"$1\": $(cat "$work/program.log")"
    echo "$wid"
}

window_gone() { ! xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }
wait_gone() { poll_until 200 window_gone "$1" || fail "the window \"$1\" stayed"; }

screenshot() {
    if [ -n "$screenshots" ]; then
        sleep 0.3
        /usr/bin/import -window root "$work/shot.png"
        /usr/bin/convert "$work/shot.png" -trim +repage "$screenshots/$2"
    fi
}

# Waits until the folder holds count PDFs.
wait_pdfs() {
    for _ in $(seq 300); do
        [ "$(find "$1" -maxdepth 1 -name '*.pdf' | wc -l)" -ge "$2" ] && return 0
        kill -0 "$app_pid" 2>/dev/null || fail "the program ended early: $(cat "$work/program.log")"
        sleep 0.1
    done
    fail "no PDF number $2 in $1: $(cat "$work/program.log")"
}

# Types a path into the dialog's text box, replacing what it held, and prints.
# A click puts the focus there (the middle of the box, from the dialog's
# table, below the title bar), wherever the last command left it.
print_path() {
    xdotool windowfocus --sync "$1"
    xdotool mousemove --window "$1" 100 78 click 1
    xdotool key End shift+Home
    xdotool type "$2"
    xdotool key alt+p
}

# Waits for a window that the last step opened, keeps its picture under
# the given name, and closes it with a key.
answer_window() {
    local wid
    wid=$(wait_window "$1")
    screenshot "$wid" "$2"
    xdotool windowfocus --sync "$wid"
    xdotool key "$3"
    wait_gone "$1"
}

program_ended() { ! kill -0 "$app_pid" 2>/dev/null; }

quit() {
    xdotool windowfocus --sync "$1"
    xdotool key alt+q
    poll_until 200 program_ended || fail "the program did not end after Quit"
    local status=0
    wait "$app_pid" || status=$?
    app_pid=""
    [ "$status" = 0 ] || fail "exit code $status after Quit"
}

# --- The Windows build ---
(cd "$work/examples" && PELM32_OUTPUT_DIR="$(windows_path "$work/out")" \
    exec wine "$program") >"$work/program.log" 2>&1 &
app_pid=$!
wid=$(wait_window "$caption")
screenshot "$wid" windows-main-dialog.png

xdotool windowfocus --sync "$wid"
xdotool key alt+b
answer_window '^Select File To Print$' windows-file-chooser.png Escape
echo "PASS: Alt+B opens \"Select File To Print\""

print_path "$wid" "$(windows_path "$work/examples/sample-report.txt")"
wait_pdfs "$work/out" 1
pdf="$work/out/Hestrel PELM Demo.pdf"
[ -f "$pdf" ] || fail "the PDF is not named after the title: $(ls "$work/out")"
pages=$(pdfinfo "$pdf" | awk '/^Pages:/ {print $2}')
[ "$pages" = 3 ] || fail "the PDF has $pages pages, not 3"
pdffonts "$pdf" | grep 'LiberationMono .* yes yes' >/dev/null ||
    fail "Courier New is not embedded as a subset of its stand-in: $(pdffonts "$pdf")"
images=$(pdfimages -list "$pdf" | awk 'NR > 2 {print $11}' | sort -u | wc -l)
[ "$images" = 2 ] || fail "$images image objects for the two bitmaps"
echo "PASS: Print gives one PDF of 3 pages, Courier New embedded, each bitmap once"

first=$(md5sum <"$pdf")
xdotool windowfocus --sync "$wid"
xdotool key alt+p
wait_pdfs "$work/out" 2
[ -f "$work/out/Hestrel PELM Demo (2).pdf" ] || fail "the second PDF: $(ls "$work/out")"
[ "$(md5sum <"$pdf")" = "$first" ] || fail "the first PDF was overwritten"
echo "PASS: a second Print makes \"... (2).pdf\" and leaves the first alone"

cp "$work/examples/sample-report.txt" "$work/examples/locked.txt"
(cd "$work/examples" && exec wine "$holder" locked.txt) >"$work/holder.log" 2>&1 &
holder_pid=$!
poll_until 200 test -f "$work/examples/locked.txt.held" ||
    fail "the holder did not hold: $(cat "$work/holder.log")"
print_path "$wid" "$(windows_path "$work/examples/locked.txt")"
answer_window '^Fenwarth Error$' windows-error-box.png Return
touch "$work/examples/locked.txt.release"
wait "$holder_pid" || true
holder_pid=""
[ "$(find "$work/out" -maxdepth 1 -name '*.pdf' | wc -l)" = 2 ] || fail "a PDF for a held report"
echo "PASS: a report held by another program gives the \"Fenwarth Error\" box"

print_path "$wid" "$(windows_path "$work/examples/scripts.txt")"
wait_pdfs "$work/out" 3

# Its name goes through the open-file dialog: pasted there (xdotool types
# no Greek or Cyrillic into Wine), and the path the dialog gives printed.
xdotool windowfocus --sync "$wid"
xdotool key alt+b
chooser=$(wait_window '^Select File To Print$')
printf '%s' "$(windows_path "$work/examples/$unicode_name")" | xclip -selection clipboard
xdotool windowfocus --sync "$chooser"
xdotool key ctrl+a ctrl+v Return
wait_gone '^Select File To Print$'
xdotool windowfocus --sync "$wid"
xdotool key alt+p
wait_pdfs "$work/out" 4
echo "PASS: a report named outside the ANSI code page comes from the open-file dialog and prints"

quit "$wid"
echo "PASS: Alt+Q ends the program with exit code 0"

# --- The engine's preview, printing and progress window ---
# Each page's inked box, "left bottom right top" in points, by Ghostscript.
ink_boxes() { gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=bbox "$1" 2>&1 | awk '/HiResBoundingBox/ {print $2, $3, $4, $5}'; }

# Ctrl+P in the preview, the keys given in the print dialog; waits for the
# printer's job and checks its pages: their size, and their ink where the
# PDF's lies, scaled by scale and moved to (x, top) from the sheet's top left.
print_from_preview() {
    local printer="$1" keys="$2" size="$3" scale="$4" x="$5" top="$6" dialog
    xdotool windowfocus --sync "$preview_wid"
    xdotool key ctrl+p
    dialog=$(wait_window '^Print$')
    xdotool windowfocus --sync "$dialog"
    # shellcheck disable=SC2086 # one key a word
    xdotool key $keys
    wait_gone '^Print$'
    job_done() { [ -s "$cups/$printer.out" ] && [ -z "$(lpstat -o "$printer" 2>/dev/null)" ]; }
    poll_until 600 job_done || fail "no job printed on $printer: $(tail "$cups/log/error_log")"
    ps2pdf "$cups/$printer.out" "$work/$printer.pdf"
    pdfinfo "$work/$printer.pdf" | grep -q "^Pages: *3$" || fail "$printer did not print 3 pages"
    pdfinfo "$work/$printer.pdf" | grep -q "^Page size: *$size pts" ||
        fail "$printer printed on $(pdfinfo "$work/$printer.pdf" | grep 'Page size')"
    local sheet_height="${size#* x }"
    paste -d ' ' <(ink_boxes "$preview_pdf") <(ink_boxes "$work/$printer.pdf") | awk \
        -v s="$scale" -v x="$x" -v top="$top" -v page=841.89 -v sheet="$sheet_height" '
        function off(a, b) { d = a - b; return d > 1 || d < -1 }
        off(x + s * $1, $5) || off(sheet - top - s * (page - $2), $6) ||
        off(x + s * $3, $7) || off(sheet - top - s * (page - $4), $8) {
            print "page " NR ": the PDF'"'"'s ink " $1, $2, $3, $4 " printed at " $5, $6, $7, $8; bad = 1 }
        END { exit bad }' >"$work/ink.diff" || fail "$printer put the marks elsewhere: $(cat "$work/ink.diff")"
}

cups_server_start
cups_add_printer a4 A4
cups_add_printer letter Letter
/usr/sbin/lpadmin -d a4
mkdir "$work/preview-out"
awk 'BEGIN { for (i = 0; i < 300000; i++) printf "line %07d of a long report\r\n", i }' \
    >"$work/examples/long.txt"
(cd "$work/examples" && PELM32_PREVIEW=1 PELM32_OUTPUT_DIR="$(windows_path "$work/preview-out")" \
    exec wine "$program") >"$work/program.log" 2>&1 &
app_pid=$!
wid=$(wait_window "$caption")
print_path "$wid" "$(windows_path "$work/examples/sample-report.txt")"
preview_title='^Hestrel PELM Demo - .*Hestrel PELM Demo.pdf - Print Preview$'
preview_wid=$(wait_window "$preview_title")
preview_pdf="$work/preview-out/Hestrel PELM Demo.pdf"
[ -f "$preview_pdf" ] || fail "no PDF before the preview: $(ls "$work/preview-out")"
screenshot "$preview_wid" windows-print-preview.png
xdotool windowfocus "$wid" 2>/dev/null || true
xdotool key alt+q
sleep 0.5
kill -0 "$app_pid" 2>/dev/null || fail "the dialog took Quit while the preview was open"
echo "PASS: Print opens the preview; the dialog is disabled while it is open"

# The Letter printer's printable area is its sheet less 12 points each side.
print_from_preview a4 Return "595 x 842" 1 0 0
print_from_preview letter "Down Return" "612 x 792" 0.912227 34.50 12
echo "PASS: Ctrl+P prints on A4 as laid out and on Letter fitted to the printable area, centred"

xdotool windowfocus --sync "$preview_wid"
xdotool key Escape
wait_gone "$preview_title"
echo "PASS: Escape closes the preview"

print_path "$wid" "$(windows_path "$work/examples/long.txt")"
answer_window '^Printing - Hestrel PELM Demo$' windows-progress-window.png Escape
quit "$wid"
[ "$(find "$work/preview-out" -type f | wc -l)" = 1 ] ||
    fail "Cancel left files behind: $(ls "$work/preview-out")"
echo "PASS: a long report shows the progress window, and Cancel there leaves no PDF"

# --- pelmprint.exe ---
pelmprint="$(dirname "$program")/pelmprint.exe"
status=0
(cd "$work/examples" && exec wine "$pelmprint" -o "$(windows_path "$work/cli")" --paper letter \
    'Ω*.txt' missing.txt) >"$work/cli.out" 2>"$work/cli.err" || status=$?
[ "$status" = 53 ] || fail "pelmprint.exe: exit code $status, not 53: $(cat "$work/cli.err")"
expected="$(printf '%s\t%s\t3\n%s\t-\t0' "$unicode_name" \
    "$(windows_path "$work/cli/Hestrel PELM Demo.pdf")" missing.txt)"
[ "$(cut -f 1-3 "$work/cli.out" | tr -d '\r')" = "$expected" ] ||
    fail "pelmprint.exe printed: $(cat "$work/cli.out" "$work/cli.err")"
pdfinfo "$work/cli/Hestrel PELM Demo.pdf" | grep -q '^Page size: *612 x 792' ||
    fail "pelmprint.exe --paper letter: $(pdfinfo "$work/cli/Hestrel PELM Demo.pdf")"
status=0
wine "$pelmprint" --paper b5 x >/dev/null 2>&1 || status=$?
[ "$status" = 1 ] || fail "pelmprint.exe: exit code $status for a usage error, not 1"
# An engine failure is a line on standard error, never a box to wait on.
status=0
(cd "$work/examples" && exec timeout 120 wine "$pelmprint" -o "$(windows_path "$work/nowhere")" \
    sample-report.txt) >/dev/null 2>"$work/cli.err" || status=$?
[ "$status" = 255 ] && grep -q 'no PDF written' "$work/cli.err" ||
    fail "pelmprint.exe to a missing folder: exit code $status: $(cat "$work/cli.err")"
echo "PASS: pelmprint.exe expands a pattern, prints on letter, and exits 53, 1 and 255 as on Linux"

# --- The installer ---
if [ -n "$msi" ]; then
    wine msiexec /i "$(windows_path "$msi")" /qn || fail "msiexec /i failed with $?"
    profile="$WINEPREFIX/drive_c/users/$(id -un)"
    installed="$profile/AppData/Local/Programs/pelmdemo"
    entry="$profile/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/pelm Print and Preview Watermark Demo.lnk"
    [ -f "$entry" ] || fail "no Start-menu entry: $(find "$profile" -name '*.lnk')"
    # As a click on the entry starts it, in the folder it names; no output folder set.
    (unset PELM32_OUTPUT_DIR && exec wine start /unix "$entry") >"$work/program.log" 2>&1
    wid=$(wait_window "$caption")
    print_path "$wid" sample-report.txt
    for _ in $(seq 300); do
        [ -f "$installed/examples/Hestrel PELM Demo.pdf" ] && break
        sleep 0.1
    done
    pdf="$installed/examples/Hestrel PELM Demo.pdf"
    [ -f "$pdf" ] || fail "no PDF in the installed examples: $(ls "$installed/examples")"
    [ "$(pdfimages -list "$pdf" | awk 'NR > 2' | wc -l)" -gt 0 ] || fail "no bitmaps in $pdf"
    pdfinfo "$pdf" | grep -q '^Pages: *3$' || fail "the installed program's PDF: $(pdfinfo "$pdf")"
    xdotool windowfocus --sync "$wid"
    xdotool key alt+q
    wait_gone "$caption"
    echo "PASS: the installer installs; its Start-menu entry starts the program where the sample prints"
fi

# --- The Linux build on the same report: the same text ---
if [ -n "$linux_program" ]; then
    (cd "$work/examples" && PELM32_OUTPUT_DIR="$work/linux-out" exec "$linux_program") \
        >"$work/program.log" 2>&1 &
    app_pid=$!
    wid=$(wait_window "$caption")
    print_path "$wid" "$work/examples/sample-report.txt"
    wait_pdfs "$work/linux-out" 1
    print_path "$wid" "$work/examples/scripts.txt"
    wait_pdfs "$work/linux-out" 2
    quit "$wid"
    diff <(pdftotext -layout "$work/linux-out/Hestrel PELM Demo.pdf" -) \
        <(pdftotext -layout "$pdf" -) >"$work/text.diff" ||
        fail "the Windows PDF's text differs from the Linux build's: $(head -n 20 "$work/text.diff")"
    echo "PASS: the Windows PDF's text is the Linux build's, page for page"
    diff <(pdftotext "$work/linux-out/Hestrel PELM Demo (2).pdf" -) \
        <(pdftotext "$work/out/Hestrel PELM Demo (3).pdf" -) >"$work/text.diff" ||
        fail "Hebrew, Arabic, Devanagari and emoji read otherwise on Windows: $(head -n 20 "$work/text.diff")"
    for word in '\xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d' '\xf0\x9f\x98\x80'; do
        grep -F "$(printf "$word")" <(pdftotext "$work/out/Hestrel PELM Demo (3).pdf" -) >/dev/null ||
            fail "$(printf "$word") is not in the Windows PDF's text"
    done
    echo "PASS: Hebrew, Arabic, Devanagari and emoji lines give the Linux build's text"
fi
