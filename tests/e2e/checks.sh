# Sourced by test scripts: `check DESCRIPTION EXPECTED ACTUAL` counts a mismatch, `fatal` ends the
# test, `wait_until SECONDS COMMAND...` polls, `checks_outcome` (the EXIT trap's) reports.
failures=0

check() {
  [ "$2" == "$3" ] && echo "ok: $1" && return
  printf 'FAILED: %s\n  expected: %q\n  actual:   %q\n' "$1" "$2" "$3"
  failures=$((failures + 1))
}

fatal() {
  echo "FAILED: $*"
  failures=$((failures + 1))
  exit 1
}

wait_until() {
  local limit=$((SECONDS + $1))
  until "${@:2}"; do
    [ "$SECONDS" -lt "$limit" ] && sleep 0.2 || return 1
  done
}

checks_outcome() {
  [ "$failures" -eq 0 ] && echo "all checks passed" || { echo "$failures check(s) FAILED"; exit 1; }
}
