#!/usr/bin/env bash
# scripts/release refuses, before building anything, a tree with changes not committed, a CHANGELOG
# whose top entry is not the project's version, changes left under "Unreleased", and a version already
# tagged on another commit; each time saying why. Run on a small repository made of the release
# command and the files it reads.
#   release_refusals_test.sh SOURCE_DIR WORK_DIR
set -euo pipefail
source_dir=$(realpath "$1")
work=$2
rm -rf "$work"
mkdir -p "$work"
work=$(realpath "$work")
failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }

repo=$work/repo
mkdir -p "$repo/scripts/lib"
cp "$source_dir/scripts/release" "$repo/scripts/"
cp "$source_dir/scripts/lib/common.sh" "$repo/scripts/lib/"
cp "$source_dir/CMakeLists.txt" "$repo/"
version=$(sed -n 's/^project(Orvane VERSION \([0-9][0-9.]*\)[ )].*/\1/p' "$repo/CMakeLists.txt")
[ -n "$version" ] || { echo "no project version in CMakeLists.txt" >&2; exit 1; }
git() { command git -C "$repo" -c user.name=test -c user.email=test@example.org "$@"; }
git init -q
commit_changelog() {
  printf '%b' "$1" >"$repo/CHANGELOG.md"
  git add -A && git commit -qm "$2"
}
# Expects the release to refuse, saying SAYS, without building.
refuses() {
  local says=$1 output
  if output=$(cd "$repo" && timeout 60 scripts/release --skip-tests 2>&1); then
    fail "released: $2"
  elif ! grep -qF -- "$says" <<<"$output"; then
    fail "refused without saying '$says' ($2): $output"
  fi
  [ -e "$repo/build" ] && fail "it built something ($2)"
  return 0
}

commit_changelog "# Changes\n\n## 0.0.1\n- first\n" "an old top entry"
refuses "CHANGELOG.md's top entry is 0.0.1" "a CHANGELOG behind the project's version"

commit_changelog "# Changes\n\n## Unreleased\n\n### Fixes\n- a fix\n\n## $version\n- this\n" "unreleased changes"
refuses "lists changes under \"Unreleased\"" "changes under Unreleased"

commit_changelog "# Changes\n\n## Unreleased\n\n## $version\n- this\n" "an empty Unreleased section"
touch "$repo/stray.txt"
refuses "changes that are not committed" "an untracked file"
rm "$repo/stray.txt"
printf '\n' >>"$repo/CMakeLists.txt"
refuses "changes that are not committed" "a changed file"
git checkout -q CMakeLists.txt

git tag "v$version" HEAD
commit_changelog "# Changes\n\n## $version\n- this, and more\n" "a later commit"
refuses "v$version was released from another commit" "a version tagged on another commit"

[ "$failures" -eq 0 ] || exit 1
echo "the release refuses a dirty tree, a version that disagrees, unlisted changes and a reused version"
