#!/usr/bin/env bash
# End-to-end tests of VexaPlay.exe under Wine: the test driver (tests/player_e2e) starts the player
# with switches, reads its message boxes and exit code, sends keys and captures the window. Test
# movies carry their frame number as a code in the top-left corner (tests/player_e2e/frames.py), so
# a capture tells which frame is on screen; captures of the DIB style are compared byte for byte
# with `vexa decode --surface 3`.
#
#   scripts/test-player-windows.sh [SCENARIO...]     (default: all; names: see `scenarios` below)
#
# Needs the Windows build (build/windows: VexaPlay.exe, vexa_player_driver.exe, vexa.exe), Wine,
# python3 and, without a DISPLAY, Xvfb. The browser launcher is disabled in the players started
# here (WINEDLLOVERRIDES winebrowser.exe=d), so a click on the closing logo could not open a browser.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build/windows"
prefix="$build/wineprefix"
player="$build/player/win32/VexaPlay.exe"
driver="$build/tests/player_e2e/vexa_player_driver.exe"
vexa="$build/tools/vexa.exe"
frames="$root/tests/player_e2e/frames.py"
for program in "$player" "$driver" "$vexa"; do
  [ -f "$program" ] || { echo "build the Windows targets VexaPlay, vexa_player_driver and vexa first" >&2; exit 1; }
done

work="$(mktemp -d /tmp/vexa-player-e2e.XXXXXX)"
xvfb=""
finish() {
  # Wine's desktop, started on the virtual screen, must not outlive it.
  [ -n "$xvfb" ] && "$root/cmake/wine-run.sh" --prefix "$prefix" --stop && kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap finish EXIT
if [ -z "${DISPLAY:-}" ]; then
  Xvfb -displayfd 3 -screen 0 1280x1024x24 3>"$work/display" 2>/dev/null &
  xvfb=$!
  for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
  [ -s "$work/display" ] || { echo "Xvfb did not start" >&2; exit 1; }
  export DISPLAY=":$(cat "$work/display")"
  # A wineserver left from an earlier run keeps its desktop on that run's display: start afresh on
  # this one (the screen-saver checks need its 1280 x 1024 screen).
  "$root/cmake/wine-run.sh" --prefix "$prefix" --stop
fi
export WINEDLLOVERRIDES="winebrowser.exe=d${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
wine_run() { "$root/cmake/wine-run.sh" --prefix "$prefix" --display "$@"; }
cd "$work"

# The movies: 160 x 128 at 10 frames a second; the code is BASE + the frame number.
make_movie() {  # NAME FRAMES BASE
  python3 "$frames" movie "$1.y4m" "$2" "$3"
  wine_run "$vexa" encode -q -i "$1.y4m" -o "$1.vxa" 2>/dev/null
}
make_movie short 40 0
make_movie long 100 0
make_movie other 40 5000
for i in 1 2 3; do make_movie "list$i" 10 $((i * 1000)); done
wine_run "$vexa" decode -q long.vxa --surface 3 -o long.raw 2>/dev/null
cp "$player" VexaPlay.exe
echo "This is not a movie." >notvexa.vxa
head -c 100 short.vxa >header.vxa
python3 -c 'import sys; d = bytearray(sys.stdin.buffer.read()); d[8:12] = bytes(4)
sys.stdout.buffer.write(d)' <short.vxa >noframes.vxa  # the frame count of the header is 0
head -c 1000 /dev/zero | cat - short.vxa >data.pak
cat "$player" short.vxa >VexaMovie.exe
exe_size=$(stat -c %s "$player")
# The screen saver: a copy of the player whose embedded command line (string 16: 512 "~" in
# UTF-16) names the movie appended to it.
python3 - "$player" ":$exe_size" <<'EOF' >demo.scr
import sys
program = open(sys.argv[1], "rb").read()
marker = "~".encode("utf-16-le") * 512
text = sys.argv[2].encode("utf-16-le")
assert program.count(marker) == 1
sys.stdout.buffer.write(program.replace(marker, text + marker[len(text):]))
EOF
cat long.vxa >>demo.scr

failed=0
passed=0
# Runs the driver: SCENARIO "PLAYER COMMAND LINE" STEP...; its report goes to SCENARIO.txt.
drive() {
  local name="$1"
  shift
  wine_run "$driver" "$@" 2>"$name.log" | tr -d '\r' >"$name.txt" || true
}
# Checks one fact of a scenario's report: SCENARIO DESCRIPTION TEST-COMMAND...
check() {
  local name="$1" what="$2"
  shift 2
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED $name: $what"
    sed 's/^/    /' "$name.txt"
  fi
}
has() { grep -qxF -- "$2" "$1.txt"; }                 # SCENARIO LINE: the report has the line
field() { awk -v k="$2" -v n="$3" '$1 == k { print $n; exit }' "$1.txt"; }  # first KEY line's Nth word
nth_frame() { awk -v i="$2" '$1 == "frame" || $1 == "capture" { if (++n == i) print $NF }' "$1.txt"; }
below() { [ -n "$1" ] && [ "$1" -lt "$2" ]; }
between() { [ -n "$1" ] && [ "$1" -ge "$2" ] && [ "$1" -le "$3" ]; }
same_frame() { python3 "$frames" compare "$1" 160 128 long.raw "$2"; }

help_box() {
  for args in "/Y short.vxa" "" "/P /P short.vxa"; do
    drive help "VexaPlay.exe $args" box exit
    check help "title for '$args'" has help "title Vexa Video Player Help"
    check help "first line for '$args'" [ "$(sed -n 2p help.txt)" = "text Vexa Video Player 1.9h" ]
    check help "exit code for '$args'" [ "$(field help exit 2)" = 1 ]
  done
}

open_errors() {
  local args text
  while IFS=';' read -r args text; do
    drive error "VexaPlay.exe $args" box exit
    check error "box for $args" has error "title Vexa Error"
    check error "text for $args" has error "text $text"
    check error "exit code for $args" [ "$(field error exit 2)" = 1 ]
  done <<'EOF'
missing.vxa;Error opening file.
notvexa.vxa;Not a Vexa file.
header.vxa;Error reading Vexa header.
noframes.vxa;The file doesn't contain any compressed frames yet.
/B11 short.vxa;No capable blitting style available.
missing.pak|0;Error opening file.
EOF
}

summary_box() {
  drive summary "VexaPlay.exe /S /J /B2 short.vxa" window box exit
  check summary "title" has summary "title Vexa Playback Summary"
  check summary "frame counts" eval 'has summary "text Total frames: 40" && has summary "text Total frames played: 40"'
  check summary "exit code" [ "$(field summary exit 2)" = 0 ]
}

# Escape shows the logo (224 x 252) for 2250 ms; a second Escape closes at once.
escape_keys() {
  drive escape "VexaPlay.exe /J /B2 long.vxa" window sleep=1000 key=escape sleep=500 capture=logo.raw \
    key=escape gone exit
  check escape "logo shown" [ "$(field escape capture 2)x$(field escape capture 3)" = 224x252 ]
  check escape "second Escape closes at once" below "$(field escape gone 2)" 500
  check escape "exit code" [ "$(field escape exit 2)" = 0 ]
  drive logo "VexaPlay.exe /J /B2 long.vxa" window sleep=500 key=escape gone
  check logo "the logo lasts 2250 ms" between "$(field logo gone 2)" 2000 6000
  drive masked "VexaPlay.exe /U4 /J /B2 long.vxa" window sleep=500 key=escape sleep=1000 capture=masked.raw
  check masked "/U4 keeps playing after Escape" eval \
    '[ "$(field masked capture 2)x$(field masked capture 3)" = 160x128 ] && between "$(nth_frame masked 1)" 10 100'
}

# Space pauses: two captures 600 ms apart show the same frame; Enter steps exactly one frame.
pause_and_step() {
  drive pause "VexaPlay.exe /J /B2 long.vxa" window sleep=1000 key=space sleep=400 capture=p1.raw \
    sleep=600 capture=p2.raw key=enter sleep=700 capture=p3.raw key=escape key=escape gone
  local n
  n="$(nth_frame pause 1)"
  check pause "paused on one frame" eval 'between "$n" 2 98 && [ "$(nth_frame pause 2)" = "$n" ]'
  check pause "Enter steps one frame" [ "$(nth_frame pause 3)" = "$((n + 1))" ]
  check pause "the picture is the decoded frame" eval 'same_frame p1.raw "$n" && same_frame p3.raw "$((n + 1))"'
}

# "." ends the first file; the second (codes from 5000) plays next.
skip_key() {
  drive skip "VexaPlay.exe /J /B2 long.vxa other.vxa" window sleep=800 frame key=dot sleep=1200 frame
  check skip "the first file plays" between "$(nth_frame skip 1)" 1 100
  check skip "\".\" skips to the second file" between "$(nth_frame skip 2)" 5001 5040
}

# Losing the focus pauses, regaining it plays on; with /J play goes on without the focus.
focus_loss() {
  local steps=(window sleep=1000 focus=away sleep=500 frame sleep=700 frame focus=back sleep=700 frame)
  drive focus "VexaPlay.exe /B2 long.vxa" "${steps[@]}"
  check focus "paused without the focus" eval '[ "$(nth_frame focus 1)" = "$(nth_frame focus 2)" ]'
  check focus "plays on with the focus back" below "$(nth_frame focus 2)" "$(nth_frame focus 3)"
  drive unfocused "VexaPlay.exe /J /B2 long.vxa" "${steps[@]}"
  check unfocused "/J plays on without the focus" below "$(nth_frame unfocused 1)" "$(nth_frame unfocused 2)"
}

# /Q: a yellow line in a strip above the picture; the window is widened to the line and the picture
# centred under it (its offset rounded down to a multiple of 4), shown exactly.
stats_line() {
  drive stats "VexaPlay.exe /Q /J /B2 long.vxa" window sleep=1500 key=space sleep=400 capture=stats.raw
  local width height strip x n
  width="$(field stats capture 2)"
  height="$(field stats capture 3)"
  strip=$((height - 128))
  x=$(((width - 160) / 2 / 4 * 4))
  check stats "the strip widens the window" eval 'below 160 "$width" && between "$strip" 8 40'
  local rows above=0 under=0 i
  read -r -a rows <<<"$(python3 "$frames" yellow stats.raw "$width" "$height")"
  for i in "${!rows[@]}"; do
    if [ "$i" -lt "$strip" ]; then above=$((above + rows[i])); else under=$((under + rows[i])); fi
  done
  check stats "the line is drawn in the strip only" eval '[ "$above" -gt 100 ] && [ "$under" = 0 ]'
  n="$(python3 "$frames" code stats.raw "$width" "$height" "$x" "$strip")"
  check stats "the picture under the strip" eval 'between "$n" 2 99 && python3 "$frames" compare stats.raw "$width" "$height" long.raw "$n" "$x" "$strip"'
}

# Doubling by the copy (/W-2 /H-2, /W-2, /A1) and grey scale (/A100): the picture on screen is the
# one `vexa decode` converts with the same options.
display_options() {
  local switches decode sx sy n
  while IFS=';' read -r switches decode sx sy; do
    # shellcheck disable=SC2086  # the decode options are words
    wine_run "$vexa" decode -q long.vxa --surface 3 $decode -o options.raw 2>/dev/null
    drive options "VexaPlay.exe $switches /J /B2 long.vxa" window sleep=1000 key=space sleep=400 \
      capture=options.shot
    check options "$switches: window of the doubled size" \
      [ "$(field options capture 2)x$(field options capture 3)" = "$((160 * sx))x$((128 * sy))" ]
    n="$(python3 "$frames" code options.shot $((160 * sx)) $((128 * sy)) 0 0 "$sx" "$sy")"
    check options "$switches: the picture is the converted frame" eval 'between "$n" 2 99 &&
      python3 "$frames" compare options.shot $((160 * sx)) $((128 * sy)) options.raw "$n" 0 0 "$sx" "$sy"'
  done <<'EOF'
/W-2 /H-2;--scale 4;2;2
/W-2;--scale 3;2;1
/A1;--scale 1;1;2
/A100;--gray;1;1
EOF
}

# Movies inside other files: the program's own file (":offset") and another file ("file|offset").
embedded_names() {
  drive pipe "VexaPlay.exe /S /J /B2 data.pak|1000" box exit
  check pipe "file|offset plays the movie" has pipe "text Total frames played: 40"
  drive colon "VexaMovie.exe /S /J /B2 :$exe_size" box exit
  check colon ":offset plays the movie" has colon "text Total frames played: 40"
}

# The update question comes when the suite's program lies beside the player and the last check is
# more than a week old: stored here eight days back, nine in the first week after a 31-day month,
# where the player's week back (day + 23 of the month before) is itself eight days. Asking stores
# today's date in the profile (win.ini) and the registry. No plays on; Yes opens the update page
# (the browser launcher is disabled here) and ends with code 1.
corvane_key='HKLM\Software\Ostrel\Corvane'
win_ini="$prefix/drive_c/windows/win.ini"
store_check_date() {  # DATE, in both stores
  wine_run reg.exe add "$corvane_key" /v LastVersionCheckDate /d "$1" /f >/dev/null 2>&1
  touch "$win_ini"
  sed -i '/^LastVersionCheckDate=/d' "$win_ini"
  grep -q '^\[Corvane\]' "$win_ini" || printf '[Corvane]\r\n' >>"$win_ini"
  sed -i "/^\[Corvane\]/a LastVersionCheckDate=$1\r" "$win_ini"
}
profile_date() {
  tr -d '\r' <"$win_ini" |
    awk -F= '/^\[/ { s = $0 } s == "[Corvane]" && $1 == "LastVersionCheckDate" { print $2 }'
}
registry_date() {
  wine_run reg.exe query "$corvane_key" /v LastVersionCheckDate 2>/dev/null | tr -d '\r' |
    awk '$1 == "LastVersionCheckDate" { print $3 }'
}
update_prompt() {
  local back=8 today
  [ "$(date +%-d)" -le 7 ] && [ "$(date -d "$(date +%Y-%m-01) -1 day" +%-d)" = 31 ] && back=9
  today="$(date +%F)"
  touch corvane.exe
  store_check_date "$(date -d "$back days ago" +%F)"
  drive declined "VexaPlay.exe /S /J /B2 short.vxa" box=no box exit
  check declined "asked first, with the exact title and text" [ "$(sed -n 1,6p declined.txt)" = "title New version check...
text It's been a while since you checked for a more recent Vexa version.
text 
text Would you like to check for a newer version of Vexa on the Internet?
text 
text If you choose to check for a new version, Vexa will close to allow the update to install." ]
  check declined "No plays the movie" has declined "text Total frames played: 40"
  check declined "today's date stored in the profile and the registry" \
    eval '[ "$(profile_date)" = "$today" ] && [ "$(registry_date)" = "$today" ]'
  drive checked "VexaPlay.exe /S /J /B2 short.vxa" box exit
  check checked "not asked again within the week" has checked "title Vexa Playback Summary"
  store_check_date "$(date -d "$back days ago" +%F)"
  drive accepted "VexaPlay.exe /S /J /B2 short.vxa" box=yes exit
  check accepted "Yes ends the player" eval \
    'has accepted "title New version check..." && [ "$(field accepted exit 2)" = 1 ]'
  rm corvane.exe
}

# demo.scr (the player with long.vxa inside, see above) as the desktop's screen saver. /s plays on
# top of the whole screen (the 1280 x 1024 of the script's Xvfb), the picture centred at 560, 448;
# a sixth mouse move or a key ends it after the closing logo. The hidden cursor cannot be checked
# here: Wine answers neither the class cursor of another process's window nor its cursor picture.
saver_code() { python3 "$frames" code "$1" 1280 1024 560 448; }
screen_saver() {
  drive configure "demo.scr /c" box exit
  check configure "/c: no settings" eval 'has configure "title Vexa Video Player" &&
    has configure "text There are no settings for this screensaver." && [ "$(field configure exit 2)" = 0 ]'
  local steps=(window sleep=1000 capture=s0.raw) x
  for x in 10 20 30 40 50; do steps+=(mouse=$x,10 sleep=100); done
  drive saver "demo.scr /s" "${steps[@]}" sleep=400 capture=s5.raw mouse=60,10 sleep=300 \
    capture=s6.raw gone exit
  check saver "/s covers the screen" has saver "window 0 0 1280 1024"
  check saver "five mouse moves: plays on" eval 'between "$(saver_code s0.raw)" 1 100 &&
    below "$(saver_code s0.raw)" "$(saver_code s5.raw)" && between "$(saver_code s5.raw)" 1 100'
  check saver "the sixth ends it after the logo" eval '! between "$(saver_code s6.raw)" 1 100 &&
    between "$(field saver gone 2)" 1000 6000 && [ "$(field saver exit 2)" = 0 ]'
  drive saverkey "demo.scr /s" window sleep=1000 key=space gone exit
  check saverkey "a key ends it after the logo" eval 'between "$(field saverkey gone 2)" 2000 6000 &&
    [ "$(field saverkey exit 2)" = 0 ]'
}

# /p: the preview plays inside the driver's window (at 100, 100, 160 x 128), filling its client
# area, after 500 ms. Wine shows nothing that a child window draws when its parent belongs to
# another process, so the picture is checked only where it can be seen.
screen_saver_preview() {
  drive preview "demo.scr /p PARENT" frame window sleep=1500 frame
  if grep -q "^timeout window" preview.txt; then
    drive preview "demo.scr /p PARENT" box exit
    check preview "a refused child window is reported" has preview "text Error creating window."
    echo "screen_saver_preview: Wine refused the preview's child window"
    return
  fi
  check preview "the player's window fills the preview window" has preview "window 100 100 260 228"
  if between "$(nth_frame preview 2)" 1 100; then
    check preview "plays after the delay, not at once" eval '! between "$(nth_frame preview 1)" 1 100'
  else
    echo "screen_saver_preview: the picture of the player's child window cannot be seen under Wine"
  fi
}

# Three files with /L2: the list plays twice, in order (codes 1000, 2000, 3000 and up).
list_loop() {
  local steps=(window) i
  for i in $(seq 90); do steps+=(frame sleep=80); done
  drive list "VexaPlay.exe /J /B2 /L2 list1.vxa list2.vxa list3.vxa" "${steps[@]}"
  local order
  order="$(awk '$1 == "frame" && $2 > 1000 && $2 <= 3010 { print int(($2 - 1) / 1000) }' list.txt | uniq | tr -d '\n')"
  check list "played 1, 2, 3, 1, 2, 3" [ "$order" = 123123 ]
}

scenarios=(help_box open_errors summary_box escape_keys pause_and_step skip_key focus_loss stats_line
  display_options embedded_names update_prompt screen_saver screen_saver_preview list_loop)
[ $# -gt 0 ] && scenarios=("$@")
for scenario in "${scenarios[@]}"; do
  start=$(date +%s)
  "$scenario"
  echo "$scenario: done in $(($(date +%s) - start)) s"
done
echo "player end-to-end: $passed checks passed, $failed failed"
[ "$failed" -eq 0 ]
