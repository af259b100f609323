# `expect_conventions TOOL...` runs TOOL per input line "EXIT STREAM ARGUMENTS..." expecting that
# exit code and output on STREAM alone: out (help), err (usage) or version ("NAME X.Y.Z" on out).
expect_conventions() {
  local name code stream args got out err misses=0
  name=$(basename "${!#}")
  while read -r code stream args; do
    err=$("$@" $args 2>&1 >"/tmp/conventions.$$" </dev/null)
    got=$? out=$(cat "/tmp/conventions.$$")
    case $stream in
      out) [ -n "$out" ] && [ -z "$err" ] ;;
      err) [ -z "$out" ] && [ -n "$err" ] ;;
      version) [[ -z $err && $out =~ ^$name\ [0-9]+\.[0-9]+\.[0-9]+$ ]] ;;
    esac && [ "$got" = "$code" ] && continue
    echo "FAIL: $name $args: exit $got, expected $code; printed [$out] and on stderr [$err]"
    misses=$((misses + 1))
  done
  rm -f "/tmp/conventions.$$"
  return $misses
}
