#!/usr/bin/env bash
# Runs the built velmora-cli as a user would and compares output and exit status:
#   cli_end_to_end.sh VELMORA_CLI SOURCE_ROOT EXPECTED_DIR
set -u
bin=$1
root=$2
expected=$3
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# run EXPECTED_STATUS ARGS...: runs the program, keeps stdout and stderr in $tmp/out, $tmp/err.
run() {
  local want=$1
  shift
  "$bin" "$@" >"$tmp/out" 2>"$tmp/err"
  local got=$?
  if [ "$got" -ne "$want" ]; then
    fail "velmora-cli $* exited with $got, expected $want"
    sed 's/^/  stderr: /' "$tmp/err"
  fi
}

expect_out() {  # expect_out TEXT: stdout is exactly TEXT
  [ "$(cat "$tmp/out")" = "$1" ] || fail "stdout was '$(cat "$tmp/out")', expected '$1'"
}
expect_err_has() {  # expect_err_has TEXT
  grep -qF -- "$1" "$tmp/err" || fail "stderr lacks '$1': $(cat "$tmp/err")"
}

cd "$root" || exit 1

run 0 --help
head -1 "$tmp/out" | grep -q '^velmora-cli - headless' || fail "--help does not start with the title"
run 2
expect_err_has "Usage: velmora-cli COMMAND"
run 2 check
expect_err_has "velmora-cli check: missing FILE"
run 2 copy samples/sample.ont
expect_err_has "Try 'velmora-cli help copy'."

# The bundled sample: what info shows of it, and check finds nothing.
run 0 info samples/sample.ont
diff -u "$expected/sample_info.txt" "$tmp/out" || fail "info samples/sample.ont differs"
run 0 check samples/sample.ont
expect_out "check: 0 errors, 0 warnings in 60 concepts, 5 mirror images, 81 labels, 85 associations, 10 link types"

# A generated ontology is clean.
run 0 generate 3000 "$tmp/g.ont" --seed 4
run 0 check "$tmp/g.ont"
expect_out "check: 0 errors, 0 warnings in 3000 concepts, 60 mirror images, 3040 labels, 3462 associations, 10 link types"

# A missing file: the store's message.
run 1 info "$tmp/missing.ont"
expect_err_has "velmora-cli: ファイル $tmp/missing.ont は開けません"

# Copy: refuses to overwrite; with --force the old file becomes the backup.
run 0 copy samples/sample.ont "$tmp/c.ont"
cp "$tmp/g.ont" "$tmp/other.ont"
run 1 copy "$tmp/other.ont" "$tmp/c.ont"
expect_err_has "already exists; use --force"
cmp -s samples/sample.ont "$tmp/c.ont" || fail "a refused copy changed the target"
[ ! -e "$tmp/バックアップ-c.ont" ] || fail "a refused copy made a backup"
cp "$tmp/c.ont" "$tmp/c.before"
run 0 copy "$tmp/other.ont" "$tmp/c.ont" --force
cmp -s "$tmp/c.before" "$tmp/バックアップ-c.ont" || fail "copy --force kept no backup"
run 0 check "$tmp/c.ont"
expect_out "check: 0 errors, 0 warnings in 3000 concepts, 60 mirror images, 3040 labels, 3462 associations, 10 link types"

# Resave: written anew, the previous bytes kept as the backup.
cp "$tmp/c.ont" "$tmp/c.before"
run 0 resave "$tmp/c.ont"
cmp -s "$tmp/c.before" "$tmp/バックアップ-c.ont" || fail "resave kept no backup"

# New: the wizard's ontology; characters outside code page 932 are warned about.
run 0 new "$tmp/n.ont" --target 食品 --sub 穀物 --sub 野菜 --now "2024-04-01 09:00:00"
run 0 info "$tmp/n.ont"
grep -qF "    概念項目数:    3" "$tmp/out" || fail "new: wrong number of concepts"
grep -qF "  CreatedDay  = 09:00:00" "$tmp/out" || fail "new: no CreatedDay"
run 0 new "$tmp/sushi.ont" --target "寿司🍣"
expect_err_has 'warning: --target: 1 character cannot be written in code page 932 and became "?"'

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "all end-to-end checks passed"
