#!/bin/sh
# check-release.sh BUILD_ROOT [CMAKE ARGUMENTS...]
# Whether a release is reproducible: clones the checkout's commit twice under
# BUILD_ROOT/release-check, into folders of different names, the second once
# the first has built; runs make-release.sh in each, compares the saver, the
# installer, the zip and SHA256SUMS byte for byte, and checks the second set
# against its SHA256SUMS and as check-downloads.sh checks a release.
set -eu
mkdir -p "$1"
build_root=$(cd "$1" && pwd)
shift
source_dir=$(cd "$(dirname "$0")/.." && pwd)
commit=$(git -C "$source_dir" rev-parse HEAD)
version=$(git -C "$source_dir" show "$commit:VERSION" | head -n 1)
git -C "$source_dir" diff --quiet HEAD || echo "Uncommitted changes are not part of the check: it builds $commit."
work="$build_root/release-check"
rm -rf "$work"
for clone in first second-clone; do
  git clone -q "$source_dir" "$work/$clone"
  git -C "$work/$clone" checkout -q --detach "$commit"
  "$work/$clone/tools/make-release.sh" "$work/$clone/build" "$@" >/dev/null
done
status=0
for file in release-tree/tavrin.scr "release/tavrin-setup-$version.exe" "release/tavrin-$version.zip" release/SHA256SUMS; do
  cmp "$work/first/build/$file" "$work/second-clone/build/$file" || status=1
done
(cd "$work/second-clone/build/release" && sha256sum -c SHA256SUMS) || status=1
"$work/second-clone/tools/check-downloads.sh" "$work/second-clone/build/release" || status=1
[ $status -ne 0 ] || echo "$commit: the same bytes from both clones"
exit $status
