# Shared by the package tests and scripts/check-fresh-install.sh: reading the
# desktop entry, and checking a first start of the program as its menu entry
# starts it. Sourced, not run; the caller defines fail().

# The main window's title.
kelvo_main_title="Kelvo-Rozevid - Connecting you to profitable trading"

# desktop_key <desktop-file> <key>: the key's value in the [Desktop Entry]
# group (not a localised one).
desktop_key() {
  awk -v key="$2" '
    /^\[/ { group = $0; next }
    group == "[Desktop Entry]" && index($0, key "=") == 1 {
      print substr($0, length(key) + 2)
      exit
    }' "$1"
}

# desktop_command <desktop-file>: the Exec line's words, one a line, with
# the field codes (%f, %U, ...) dropped. The entry uses no quoting.
desktop_command() {
  local word
  for word in $(desktop_key "$1" Exec); do
    [[ "$word" =~ ^%[a-zA-Z]$ ]] || printf '%s\n' "$word"
  done
}

# wait_window <pid> <title> [--onlyvisible]: the id of a window of that
# title, once there; fails at once if the program (pid) ends first.
wait_window() {
  local pid=$1 title=$2 found
  shift 2
  for _ in $(seq 150); do
    found=$(xdotool search "$@" --name "$title" 2>/dev/null | head -1) || true
    if [ -n "$found" ]; then
      echo "$found"
      return 0
    fi
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.2
  done
  return 1
}

# check_first_start <pid> <home-folder> <window-class> <program-log>
# The program (pid) has just been started in its home folder, which holds no
# Config.dat yet. As on any first start it says so, and once that is
# acknowledged it writes the default settings into the folder it was started
# from and maps its main window, which carries the window class named by the
# desktop entry's StartupWMClass.
check_first_start() {
  local pid=$1 home=$2 class=$3 log=$4 box win got
  box=$(wait_window "$pid" "Error while reading the configuration file") ||
    fail "no message about the missing settings file; the program said: $(head -c 2000 "$log")"
  xdotool windowfocus --sync "$box" key Return
  win=$(wait_window "$pid" "$kelvo_main_title" --onlyvisible) ||
    fail "the main window did not map; the program said: $(head -c 2000 "$log")"
  [ "$(xdotool getwindowpid "$win")" = "$pid" ] || fail "the main window is not the started program's"
  [ -s "$home/Config.dat" ] || fail "no Config.dat in the folder the program was started from"
  got=$(xprop -id "$win" WM_CLASS | sed -nE 's/^WM_CLASS\(STRING\) = "[^"]*", "([^"]*)"$/\1/p')
  [ "$got" = "$class" ] || fail "window class '$got', the desktop entry's StartupWMClass is '$class'"
  kill -0 "$pid" 2>/dev/null || fail "the program ended after mapping its window"
}
