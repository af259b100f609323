# Sourced by the tool tests. `expect_conventions TOOL...` runs TOOL (which
# may start with an emulator) once per line "EXIT STREAM ARGUMENTS..." of
# its standard input and expects that exit code with output on STREAM (out
# or err) alone: help on standard output with 0, a usage error's usage on
# standard error with 2. Prints a FAIL line per miss; returns the misses.
# `expect_version NAME TOOL...`: TOOL --version prints "NAME X.Y.Z".
expect_conventions() {
  local scratch code stream other args got misses=0
  scratch=$(mktemp -d)
  while read -r code stream args; do
    other=err
    [ "$stream" = err ] && other=out
    "$@" $args >"$scratch/out" 2>"$scratch/err" </dev/null
    got=$?
    if [ "$got" != "$code" ] || [ ! -s "$scratch/$stream" ] || [ -s "$scratch/$other" ]; then
      echo "FAIL: '$args' exited with $got, expected $code and output on std$stream alone"
      misses=$((misses + 1))
    fi
  done
  rm -rf "$scratch"
  return $misses
}

expect_version() {
  local name=$1 printed
  shift
  printed=$("$@" --version)
  [[ $? = 0 && $printed =~ ^$name\ [0-9]+\.[0-9]+\.[0-9]+$ ]] && return 0
  echo "FAIL: $name --version printed '$printed'"
  return 1
}
