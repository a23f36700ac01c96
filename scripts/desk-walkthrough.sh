#!/usr/bin/env bash
# A teacher's walk through varelo-desk under a real X server (Xvfb), driven by xdotool: a
# 期末考试 数学 sheet on A3三栏 with three objective groups and written sections, made in the
# settings dialog, then a heading merged into the sheet's top row, boxed, typed and set in
# 小三, and the sheet saved. The window's own screen grab (VARELO_DESK_GRAB, Ctrl+Shift+F12)
# takes the pictures, so no screenshot tool is needed.
#
#   scripts/desk-walkthrough.sh [BUILD_DIR] [PICTURES_DIR]
#
# BUILD_DIR defaults to build, PICTURES_DIR to docs/walkthrough. Needs Xvfb and xdotool
# (Debian: xvfb, xdotool). Exits non-zero, saying where, when a step does not happen.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
pictures=${2:-docs/walkthrough}
desk="$build/src/app/desk/varelo-desk"
for tool in Xvfb xdotool; do
    command -v "$tool" >/dev/null || { echo "desk-walkthrough: $tool is not installed" >&2; exit 1; }
done
[ -x "$desk" ] || { echo "desk-walkthrough: build $desk first" >&2; exit 1; }

work=$(mktemp -d)
# Xvfb picks a free display and says which.
Xvfb -displayfd 3 -screen 0 1280x860x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb=$!
desk_pid=
finish() {
    [ -n "$desk_pid" ] && kill "$desk_pid" 2>/dev/null || true
    kill "$xvfb" 2>/dev/null || true
    [ -n "${KEEP_WORK:-}" ] || rm -rf "$work"
}
trap finish EXIT
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "desk-walkthrough: Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$(cat "$work/display")

fail() { echo "desk-walkthrough: $*" >&2; exit 1; }
# The window with this exact title, waited for.
window() {
    local id
    for _ in $(seq 100); do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1) || true
        [ -n "$id" ] && { echo "$id"; return; }
        sleep 0.2
    done
    fail "no window \"$1\" appeared"
}
settle() { sleep "${1:-0.6}"; }
key() { xdotool key --clearmodifiers "$@"; settle 0.3; }
# Clicks at (x, y) in a window's own coordinates.
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; settle 0.3; }
# Types Chinese into the field with the keyboard. xdotool lends a spare key to each character
# the keymap lacks, and the program may miss the first one it lends: a first character is
# typed and taken back before the text (BackSpace does nothing if it was missed).
say() {
    xdotool type --delay 80 中
    settle 0.3
    key BackSpace
    xdotool type --delay 60 "$1"
    settle 0.3
}
# Replaces the text of the field at (x, y) of a window.
fill() {
    click "$1" "$2" "$3"
    key ctrl+a BackSpace
    say "$4"
}
grab() {
    key ctrl+shift+F12
    settle
    local last
    last=$(ls "$work/grabs" | sort | tail -1)
    [ -n "$last" ] || fail "no picture was taken for $1"
    mv "$work/grabs/$last" "$pictures/$1.png"
    echo "  $pictures/$1.png"
}

mkdir -p "$work/home" "$work/grabs" "$pictures"
HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" VARELO_DESK_GRAB="$work/grabs" \
    "$desk" >"$work/desk.log" 2>&1 &
desk_pid=$!
main=$(window Varelo)
xdotool windowfocus --sync "$main"
settle 1.5

echo "settings dialog"
key alt+s  # the Varelo bar's 设置
dialog=$(window 设置答题卡格式)
xdotool windowfocus --sync "$dialog"
# Positions are the dialog's fixed geometry, in pixels from its top left.
fill "$dialog" 224 25 期末考试
fill "$dialog" 224 49 数学
fill "$dialog" 452 26 A3三栏
add_group() {  # name, items, points
    fill "$dialog" 116 118 "$1"
    fill "$dialog" 116 142 "$2"
    fill "$dialog" 116 161 "$3"
}
add_group 单项选择 12 3 && click "$dialog" 40 232
add_group 多项选择 4 4 && click "$dialog" 40 232
add_group 判断题 5 2 && click "$dialog" 26 312 && click "$dialog" 40 232  # 判断: two options

echo "written sections"
click "$dialog" 56 353  # 设置… of 主观题
sections=$(window 主观题设置)
xdotool windowfocus --sync "$sections"
click "$sections" 462 25  # 添加 the 填空题 it starts with
for _ in 1 2; do          # then 解答 and 作文, as the kind list gives them
    click "$sections" 124 25
    key Down Return
    click "$sections" 462 25
done
grab walkthrough-sections
key alt+o
settle
xdotool windowfocus --sync "$dialog"
grab walkthrough-settings

echo "generate"
key alt+o
for _ in $(seq 100); do
    xdotool search --onlyvisible --name "^文档.* - Varelo$" >/dev/null 2>&1 && break
    sleep 0.2
done
xdotool search --onlyvisible --name "^文档.* - Varelo$" >/dev/null || fail "the sheet was not made"
settle 1.5
xdotool windowfocus --sync "$main"
settle
key alt+v p  # 视图 › 整页
grab walkthrough-sheet

echo "merge, box, type and size a heading in the top row"
key ctrl+g
window 选定单元格 >/dev/null
xdotool type --delay 40 "1,3:1,21"
key Return
settle
xdotool windowfocus --sync "$main"  # no window manager gives the keyboard back
settle
key alt+m  # 合并单元格
key alt+b  # 方框
key F2     # 编辑单元格文字
say 青山中学2026学年第一学期
key ctrl+Return  # keeps the text
# The format bar's size box sits right of the font box; 小三 is 15 pt.
click "$main" 150 33
key ctrl+a BackSpace
say 小三
key Return
click "$main" 1200 845  # the status bar's zoom box
key ctrl+a BackSpace
xdotool type --delay 40 "150%"
key Return
key ctrl+Home
grab walkthrough-heading

echo "save"
key ctrl+s
save=$(window 另存为)
xdotool windowfocus --sync "$save"
key ctrl+a
xdotool type --delay 20 "$work/期末考试数学.docx"
grab walkthrough-save
key Return
for _ in $(seq 50); do [ -s "$work/期末考试数学.docx" ] && break; sleep 0.2; done
[ -s "$work/期末考试数学.docx" ] || fail "the sheet was not saved"
unzip -p "$work/期末考试数学.docx" word/document.xml | grep -q 青山中学 ||
    fail "the saved sheet lacks the heading typed"
echo "saved $work/期末考试数学.docx with the heading; pictures in $pictures"
