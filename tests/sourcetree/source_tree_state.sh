#!/usr/bin/env bash
# Tests never write into the source tree. Before a test run this records the files that
# `git status` finds untracked in the source folder; after it, it fails when there are
# new ones (a file a test left there). Changes to tracked files are not counted: a
# developer may edit while the tests run.
#
#   source_tree_state.sh record|compare SOURCE_DIR STATE_FILE
#
# Exits 77 (a skip for CTest) when the source folder is no git checkout or git is missing.
set -u
mode=$1
source_dir=$2
state=$3
if ! command -v git >/dev/null 2>&1 || ! git -C "$source_dir" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  echo "$source_dir is no git checkout: nothing to compare"
  exit 77
fi
# No index lock: a developer's own git commands may run meanwhile.
state_now() {
  GIT_OPTIONAL_LOCKS=0 git -C "$source_dir" status --porcelain --untracked-files=all | grep '^??' | LC_ALL=C sort
}
case "$mode" in
  record)
    state_now >"$state"
    ;;
  compare)
    if [ ! -f "$state" ]; then
      echo "no state was recorded before the run ($state)"
      exit 77
    fi
    new=$(state_now | LC_ALL=C comm -13 "$state" -)
    if [ -n "$new" ]; then
      echo "the test run has left changes in the source tree $source_dir:"
      echo "$new"
      exit 1
    fi
    echo "the source tree is as it was before the run"
    ;;
  *)
    echo "usage: $0 record|compare SOURCE_DIR STATE_FILE" >&2
    exit 2
    ;;
esac
