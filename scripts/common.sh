# Shared by the project's scripts: the repository root, messages, timed stages,
# workflow presets, root rights, the package tools' log and the add-in
# package's libraries.
# Sourced, never run.

ORVEX_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

orvex_say() {
  printf '\n==== %s\n' "$*"
}

ORVEX_FAILURE=""
orvex_fail() {
  ORVEX_FAILURE="$*"
  printf '\nFAILED: %s\n' "$*" >&2
  exit 1
}

# The commands run from the repository root, whatever the caller's directory.
orvex_in_root() {
  (cd "$ORVEX_ROOT" && "$@")
}

# Runs one stage, records how long it took, and stops everything on its failure
# with the stage's name so the log's last line says what broke.
ORVEX_TIMINGS=()
orvex_record_timing() {
  local name="$1" seconds="$2" outcome="${3:-}"
  ORVEX_TIMINGS+=("$(printf '%-40s %5ss %s' "$name" "$seconds" "$outcome")")
}

orvex_stage() {
  local name="$1"
  shift
  orvex_say "$name"
  local started=$SECONDS
  if ! orvex_in_root "$@"; then
    orvex_record_timing "$name" $((SECONDS - started)) FAILED
    orvex_fail "$name (command: $*)"
  fi
  orvex_record_timing "$name" $((SECONDS - started))
}

# Commands run when the script exits, however it exits, in the order given.
ORVEX_EXIT_COMMANDS=()
orvex_run_exit_commands() {
  local command
  for command in "${ORVEX_EXIT_COMMANDS[@]}"; do
    eval "$command" || true
  done
  # The log's last line still says what broke.
  [[ -z "$ORVEX_FAILURE" ]] || printf '\nFAILED: %s\n' "$ORVEX_FAILURE" >&2
}
orvex_on_exit() {
  ORVEX_EXIT_COMMANDS+=("$1")
  trap orvex_run_exit_commands EXIT
}

# Runs a workflow preset (cmake --workflow --preset PRESET) with each of its
# steps shown and timed as a stage of its own: "PRESET: configure", "PRESET:
# build", and for the test step TEST_STAGE (default "PRESET: test"). A failing
# step stops everything, named like a failing stage.
orvex_workflow() {
  local preset="$1" test_stage="${2:-$1: test}"
  local step_line='^Executing workflow step [0-9]+ of [0-9]+: ([a-z]+) preset '
  local stage="$preset: workflow" started=$SECONDS in_step=0 blanks=0 line status
  while IFS= read -r line; do
    if [[ "$line" =~ $step_line ]]; then
      ((in_step)) && orvex_record_timing "$stage" $((SECONDS - started))
      case "${BASH_REMATCH[1]}" in
        test) stage="$test_stage" ;;
        *) stage="$preset: ${BASH_REMATCH[1]}" ;;
      esac
      started=$SECONDS
      in_step=1
      orvex_say "$stage"
      # cmake's blank lines around its own heading: ours has its own.
      blanks=0
      if IFS= read -r line && [[ -n "$line" ]]; then printf '%s\n' "$line"; fi
    elif [[ -z "$line" ]]; then
      blanks=$((blanks + 1))
    else
      for (( ; blanks > 0; blanks--)); do echo; done
      printf '%s\n' "$line"
    fi
  done < <(orvex_in_root cmake --workflow --preset "$preset" 2>&1)
  wait $! && status=0 || status=$?
  if [[ $status -ne 0 ]]; then
    orvex_record_timing "$stage" $((SECONDS - started)) FAILED
    orvex_fail "$stage (command: cmake --workflow --preset $preset)"
  fi
  orvex_record_timing "$stage" $((SECONDS - started))
}

# Starts a virtual X display (Xvfb) for the window tests unless DISPLAY already
# names one, exports DISPLAY for everything started afterwards, and stops the
# display when the script exits. Without Xvfb the window tests skip themselves
# (they say why), so its absence only warns.
orvex_start_virtual_display() {
  if [[ -n "${DISPLAY:-}" ]]; then
    echo "window tests use the display $DISPLAY"
    return 0
  fi
  if ! command -v Xvfb >/dev/null; then
    echo "Xvfb is missing: the window tests will be skipped (scripts/install-deps linux)" >&2
    return 0
  fi
  local display_file
  display_file="$(mktemp)"
  # -displayfd: Xvfb picks a free display number and writes it once it accepts clients.
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
  ORVEX_XVFB_PID=$!
  orvex_on_exit 'kill "$ORVEX_XVFB_PID" 2>/dev/null'
  local tries
  for ((tries = 0; tries < 100; tries++)); do
    [[ -s "$display_file" ]] && break
    sleep 0.1
  done
  [[ -s "$display_file" ]] || orvex_fail "Xvfb did not start"
  export DISPLAY=":$(tr -d '[:space:]' <"$display_file")"
  rm -f "$display_file"
  unset WAYLAND_DISPLAY
  echo "window tests use the virtual display $DISPLAY (Xvfb, pid $ORVEX_XVFB_PID)"
}

orvex_print_timings() {
  orvex_say "Stage timings"
  [[ ${#ORVEX_TIMINGS[@]} -eq 0 ]] || printf '%s\n' "${ORVEX_TIMINGS[@]}"
  printf '%-40s %5ss\n' "whole run" "$SECONDS"
}

# Compiles go through Debian's ccache (scripts/install-deps installs it; the
# build finds it, cmake/CompilerCache.cmake), into a cache kept on the machine
# outside the work tree and bounded in size. As root that is
# /var/cache/orvex/ccache, used only while it and the folder above it belong to
# root and no one else can write there: a compiled object taken from a cache
# another user can write would put their code into the library. Anyone else
# keeps ccache's own cache in their home. Paths below the repository are
# hashed relative to it, so another clone on the machine finds the same objects.
ORVEX_ROOT_COMPILER_CACHE="${ORVEX_ROOT_COMPILER_CACHE:-/var/cache/orvex/ccache}"
orvex_use_compiler_cache() {
  export CCACHE_MAXSIZE="${CCACHE_MAXSIZE:-8G}" CCACHE_BASEDIR="$ORVEX_ROOT" CCACHE_NOHASHDIR=1
  [[ "$(id -u)" -eq 0 ]] || return 0
  mkdir -p -m 0755 "$(dirname "$ORVEX_ROOT_COMPILER_CACHE")"
  mkdir -p -m 0700 "$ORVEX_ROOT_COMPILER_CACHE"
  local folder
  for folder in "$(dirname "$ORVEX_ROOT_COMPILER_CACHE")" "$ORVEX_ROOT_COMPILER_CACHE"; do
    if [[ -L "$folder" || "$(stat -c '%u' "$folder")" != 0 ]] || (($(stat -c '0%a' "$folder") & 022)); then
      echo "the compiler cache $folder is not root's alone: compiling without it" >&2
      export CCACHE_DISABLE=1
      return 0
    fi
  done
  export CCACHE_DIR="$ORVEX_ROOT_COMPILER_CACHE"
}

# Runs a command as root: directly when root, through sudo otherwise.
orvex_can_be_root() {
  [[ "$(id -u)" -eq 0 ]] || command -v sudo >/dev/null
}

orvex_as_root() {
  if [[ "$(id -u)" -eq 0 ]]; then
    "$@"
  elif command -v sudo >/dev/null; then
    sudo "$@"
  else
    echo "needs root, and there is no sudo: $*" >&2
    return 1
  fi
}

# The package tools (apt-get update, install, source) write into this log, not
# on the screen: each step shows one line, and a failure names the log and
# shows its end. ORVEX_APT_LOG names another log.
ORVEX_APT_LOG="${ORVEX_APT_LOG:-$ORVEX_ROOT/build/apt.log}"

# orvex_apt_step TEXT COMMAND...: prints TEXT, runs COMMAND into the log.
orvex_apt_step() {
  local text="$1"
  shift
  echo "$text"
  mkdir -p "$(dirname "$ORVEX_APT_LOG")"
  printf '\n### %s: %s\n' "$(date -u '+%F %T')" "$*" >>"$ORVEX_APT_LOG"
  "$@" >>"$ORVEX_APT_LOG" 2>&1
}

# orvex_apt_run_kept OUTPUT COMMAND...: runs COMMAND into the log as
# orvex_apt_step does, its output also kept in OUTPUT for the caller to read
# (why apt refused a download, say); prints nothing.
orvex_apt_run_kept() {
  local output="$1" status=0
  shift
  mkdir -p "$(dirname "$ORVEX_APT_LOG")"
  "$@" >"$output" 2>&1 || status=$?
  { printf '\n### %s: %s\n' "$(date -u '+%F %T')" "$*"; cat "$output"; } >>"$ORVEX_APT_LOG"
  return $status
}

orvex_show_apt_log() {
  echo "$1; the package tools' output is in $ORVEX_APT_LOG, which ends with:" >&2
  tail -n 15 "$ORVEX_APT_LOG" | sed 's/^/  | /' >&2
}

# Reads versions of a Debian package, one a line, and prints them newest first
# in dpkg's order (an epoch, ~ and + as dpkg weighs them; sort -V does not).
orvex_newest_first() {
  local sorted=() version i
  while IFS= read -r version; do
    [[ -n "$version" ]] || continue
    for ((i = 0; i < ${#sorted[@]}; i++)); do
      dpkg --compare-versions "$version" gt "${sorted[i]}" && break
    done
    sorted=("${sorted[@]:0:i}" "$version" "${sorted[@]:i}")
  done
  [[ ${#sorted[@]} -eq 0 ]] || printf '%s\n' "${sorted[@]}"
}

# A value of a configured build's cache: orvex_cache_value PRESET NAME.
orvex_cache_value() {
  sed -n "s/^$2:[A-Z]*=//p" "$ORVEX_ROOT/build/$1/CMakeCache.txt"
}

# The libraries of the add-in package (scripts/package): each line the preset
# that builds it, the platform's names of its system and architecture, and its
# file name in the package (one folder: the names must differ).
ORVEX_PACKAGE_LIBRARIES=(
  "win32 Windows i386 a_orvextx1c83n_windows_x86.dll"
  "win64 Windows x86_64 a_orvextx1c83n_windows_x86_64.dll"
  "linux-x86 Linux i386 a_orvextx1c83n_linux_x86.so"
  "linux Linux x86_64 a_orvextx1c83n_linux_x86_64.so"
)
