# Sourced by the test scripts: `check DESCRIPTION EXPECTED ACTUAL` compares
# and counts failures, `fatal` ends the test at once, `wait_until SECONDS
# COMMAND...` polls, and `checks_outcome` (for the EXIT trap) reports.
failures=0

check() {
  if [ "$2" == "$3" ]; then
    echo "ok: $1"
  else
    echo "FAILED: $1"
    echo "  expected: $(printf '%q' "$2")"
    echo "  actual:   $(printf '%q' "$3")"
    failures=$((failures + 1))
  fi
}

fatal() {
  echo "FAILED: $*"
  failures=$((failures + 1))
  exit 1
}

wait_until() {
  local limit=$(($(date +%s) + $1))
  shift
  until "$@"; do
    [ "$(date +%s)" -lt "$limit" ] || return 1
    sleep 0.2
  done
}

checks_outcome() {
  if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) FAILED"
    exit 1
  fi
  echo "all checks passed"
}
