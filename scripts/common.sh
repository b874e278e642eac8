# Shared by the project's scripts: the repository root, messages, timed stages
# and root rights.
# Sourced, never run.

ORVEX_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

orvex_say() {
  printf '\n==== %s\n' "$*"
}

orvex_fail() {
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
orvex_stage() {
  local name="$1"
  shift
  orvex_say "$name"
  local started=$SECONDS
  if ! orvex_in_root "$@"; then
    orvex_fail "$name (command: $*)"
  fi
  ORVEX_TIMINGS+=("$(printf '%-40s %5ss' "$name" "$((SECONDS - started))")")
}

orvex_print_timings() {
  orvex_say "Stage timings"
  printf '%s\n' "${ORVEX_TIMINGS[@]}"
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
