# Checks for the shell scenarios run by ctest (sourced): each check prints one "ok"/"FAIL"
# line and counts the failures; a scenario ends with `[ "$failures" -eq 0 ]`.
failures=0

check() {  # check DESCRIPTION CONDITION...
  local what=$1; shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}
equal() { [ "$1" = "$2" ]; }
differ() { [ "$1" != "$2" ]; }
contains() { [[ $1 == *"$2"* ]]; }
