# Sourced by the tool tests. `expect_conventions TOOL...` (TOOL may start
# with an emulator) runs TOOL once per input line "EXIT STREAM ARGUMENTS..."
# and expects that exit code and output on one stream alone: out (help),
# err (a usage error's usage) or version (standard output "NAME X.Y.Z",
# NAME being TOOL's file name). Prints a FAIL line per miss; returns the
# number of misses.
expect_conventions() {
  local scratch name code stream args got out err misses=0
  scratch=$(mktemp)
  name=$(basename "${!#}")
  while read -r code stream args; do
    err=$("$@" $args 2>&1 >"$scratch" </dev/null)
    got=$?
    out=$(cat "$scratch")
    case $stream in
      out) [ -n "$out" ] && [ -z "$err" ] ;;
      err) [ -z "$out" ] && [ -n "$err" ] ;;
      version) [[ -z $err && $out =~ ^$name\ [0-9]+\.[0-9]+\.[0-9]+$ ]] ;;
    esac && [ "$got" = "$code" ] && continue
    echo "FAIL: $name $args: exit $got, expected $code; printed [$out] and on stderr [$err]"
    misses=$((misses + 1))
  done
  rm -f "$scratch"
  return $misses
}
