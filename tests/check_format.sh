#!/usr/bin/env bash
# Fails when a source file differs from what clang-format makes of it.
set -u
root=${1:-.}
cd "$root" || exit 1
files=$(git ls-files '*.cpp' '*.h' 2>/dev/null || find src tests bench -name '*.cpp' -o -name '*.h')
[ -n "$files" ] || exit 0
clang-format --dry-run --Werror $files
