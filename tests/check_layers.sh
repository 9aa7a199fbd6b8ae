#!/usr/bin/env bash
# Fails when a file of a plain C++ layer includes a Qt header.
set -u
root=${1:-.}
status=0
for layer in store engine exchange cli; do
  dir="$root/src/$layer"
  [ -d "$dir" ] || continue
  hits=$(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"](Q[A-Za-z]|Qt)' "$dir" || true)
  if [ -n "$hits" ]; then
    echo "Qt header included in the $layer layer:"
    echo "$hits"
    status=1
  fi
done
# The search's matching core is plain C++ too; only its window (*_form.*) and the window's item
# model (*_model.*) use Qt.
if [ -d "$root/src/search" ]; then
  hits=$(grep -rnE --exclude='*_form.*' --exclude='*_model.*' \
    '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"](Q[A-Za-z]|Qt)' "$root/src/search" || true)
  if [ -n "$hits" ]; then
    echo "Qt header included in the search core:"
    echo "$hits"
    status=1
  fi
fi
exit $status
