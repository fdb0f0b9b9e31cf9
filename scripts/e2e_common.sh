# What the end-to-end tests share: waiting, screenshots and finding the
# program's windows on the X server. Sourced, not run.

# Waits up to $1 seconds for the command that follows to succeed.
wait_for() {
  local seconds=$1
  shift
  for _ in $(seq $((seconds * 10))); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

# Takes screenshots into $1 until the check $2 (given the picture) passes,
# for up to $3 seconds: what the program draws lags behind on a loaded
# machine.
screenshot_until() {
  local shot=$1 check=$2
  for _ in $(seq "$3"); do
    import -window root "$shot" || return 1
    "$check" "$shot" && return 0
    sleep 1
  done
  return 1
}

width_of() {
  local WIDTH=0
  eval "$(xdotool getwindowgeometry --shell "$1" 2>/dev/null | grep '^WIDTH=')"
  echo "$WIDTH"
}
# The shown windows titled exactly $1, tray icons (small windows) left out.
windows_named() {
  local id
  for id in $(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null); do
    [ "$(width_of "$id")" -gt 64 ] && echo "$id"
  done
  return 0
}
shown_window() { windows_named "$1" | head -n 1; }
has_window() { [ -n "$(shown_window "$1")" ]; }
no_window() { [ -z "$(shown_window "$1")" ]; }
# The program's main window (its fixed width tells it from a message box).
main_window() {
  local id
  for id in $(windows_named Tavro); do
    [ "$(width_of "$id")" -eq 844 ] && echo "$id"
  done
  return 0
}
has_main_window() { [ -n "$(main_window)" ]; }
no_main_window() { [ -z "$(main_window)" ]; }
