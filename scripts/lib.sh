# Shared by the scripts: install missing Debian packages, run a private X
# server and put a text on its clipboard. Sourced, not run.

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# need_packages PKG...: installs those of the packages that are missing.
need_packages() {
  local missing=()
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}" >&2
  as_root env DEBIAN_FRONTEND=noninteractive apt-get update -q >&2
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}" >&2
}

# start_x_server DIR: starts Xvfb on a free display, exports DISPLAY and
# sets XSERVER_PID. DIR is a scratch folder.
start_x_server() {
  local dir=$1
  Xvfb -displayfd 3 -nolisten tcp -screen 0 320x240x24 3>"$dir/display" >/dev/null 2>&1 &
  XSERVER_PID=$!
  local k
  for k in $(seq 1 150); do
    if grep -q . "$dir/display" 2>/dev/null; then
      export DISPLAY=":$(head -n 1 "$dir/display")"
      return 0
    fi
    sleep 0.1
  done
  echo "Xvfb did not start" >&2
  return 1
}

# own_clipboard TEXT: an xclip process owns the clipboard with TEXT; sets
# CLIP_PID. Waits until the text can be read back.
own_clipboard() {
  printf '%s' "$1" | xclip -selection clipboard -quiet -i >/dev/null 2>&1 &
  CLIP_PID=$!
  local k
  for k in $(seq 1 100); do
    [ "$(xclip -selection clipboard -o 2>/dev/null)" = "$1" ] && return 0
    sleep 0.05
  done
  echo "the clipboard could not be set" >&2
  return 1
}

stop_pid() {
  [ -n "${1:-}" ] || return 0
  kill "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}
