#!/usr/bin/env bash
# The cross builds' test emulator (ctest): scripts/wine-run.sh, run once more when Wine itself
# failed to start the program ("wine client error": its process lost the connection to the
# Wine server before the program ran). That happens rarely, with several tests starting
# side by side, and says nothing of the program. Its error output is held until it ends, so
# that the two cases can be told apart.
here=$(dirname "${BASH_SOURCE[0]}")
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT
for attempt in 1 2; do
  "$here/wine-run.sh" "$@" 2>"$errors"
  status=$?
  cat "$errors" >&2
  [ "$status" -ne 0 ] && [ "$attempt" -eq 1 ] && grep -q '^wine client error' "$errors" || exit "$status"
  echo "wine-test: Wine failed to start $1 ($(grep -m1 '^wine client error' "$errors")); running it once more" >&2
done
