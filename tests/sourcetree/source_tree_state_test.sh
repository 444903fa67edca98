#!/usr/bin/env bash
# The source tree check itself, on a repository of its own: it passes for a run that
# leaves no new file (or only ignored ones, or edits tracked ones), fails for a new file
# anywhere in the tree, and is skipped outside a git checkout.
set -u
check=$(dirname "$0")/source_tree_state.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
expect() {  # expect STATUS DESCRIPTION COMMAND...
  local want=$1 what=$2
  shift 2
  "$@" >"$work/out" 2>&1
  local got=$?
  if [ "$got" != "$want" ]; then
    echo "FAIL: $what: exit $got, expected $want"
    cat "$work/out"
    failures=$((failures + 1))
  fi
}
repo=$work/repo
mkdir -p "$repo"
git -C "$repo" init -q
printf 'build/\n' >"$repo/.gitignore"
printf 'a\n' >"$repo/tracked.txt"
git -C "$repo" add -A
git -C "$repo" -c user.name=t -c user.email=t@t commit -qm start
printf 'x\n' >"$repo/untracked-before.txt"  # there before the run: not the run's doing

expect 0 "record" "$check" record "$repo" "$work/state"
mkdir -p "$repo/build" && printf 'x\n' >"$repo/build/output"
expect 0 "only ignored files written" "$check" compare "$repo" "$work/state"
printf 'x\n' >"$repo/ul.ini"
expect 1 "a new file" "$check" compare "$repo" "$work/state"
grep -q "ul.ini" "$work/out" || { echo "FAIL: the new file is not named"; failures=$((failures + 1)); }
rm "$repo/ul.ini"
mkdir -p "$repo/deep/er" && printf 'x\n' >"$repo/deep/er/left.txt"
expect 1 "a new file in a new folder" "$check" compare "$repo" "$work/state"
rm -r "$repo/deep"
printf 'b\n' >>"$repo/tracked.txt"
expect 0 "an edited tracked file" "$check" compare "$repo" "$work/state"
mkdir -p "$work/plain"
expect 77 "no git checkout" "$check" record "$work/plain" "$work/state2"
echo "$((7 - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
