#!/bin/sh
# check-downloads.sh RELEASE_DIR
# What a downloader holds, checked against this checkout's commit: one release
# folder, in seconds (check-release.sh is the slow proof that two builds of a
# commit are the same bytes).
# - SHA256SUMS lists the installer and the zip, nothing else, and both match;
# - the zip holds tavrin-<version>/ with CREDITS.txt, LICENSE.txt, README.txt
#   and tavrin.scr, nothing else, each with the commit's time;
# - its README.txt is plain text for Notepad: ASCII, CRLF line ends, lines of
#   at most 78 columns, no Markdown; it names the commit; CREDITS.txt names
#   the typefaces that ship;
# - tavrin.scr and the installer name the commit in their product version and
#   have one CompanyName.
# The commit is git's HEAD, with "-dirty" when tracked files differ from it,
# and its time SOURCE_DATE_EPOCH or the commit's.
set -eu
release=$(cd "$1" && pwd)
source_dir=$(cd "$(dirname "$0")/.." && pwd)
version=$(head -n 1 "$source_dir/VERSION")
commit=$(git -C "$source_dir" rev-parse HEAD)
[ -z "$(git -C "$source_dir" --no-optional-locks status --porcelain --untracked-files=no)" ] || commit="$commit-dirty"
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$source_dir" log -1 --format=%ct)}
setup="tavrin-setup-$version.exe"
zip="tavrin-$version.zip"
folder="tavrin-$version"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
fail() {
  echo "$release: $*" >&2
  status=1
}

cd "$release"
[ "$(cut -c 67- SHA256SUMS | LC_ALL=C sort)" = "$(printf '%s\n' "$setup" "$zip" | LC_ALL=C sort)" ] ||
  fail "SHA256SUMS does not list exactly $setup and $zip"
sha256sum --quiet -c SHA256SUMS || fail "a file does not match SHA256SUMS"

# zip keeps times in steps of two seconds, rounded up.
stamp=$(TZ=UTC date -d "@$((epoch + epoch % 2))" +%Y%m%d.%H%M%S)
TZ=UTC unzip -Z -T "$zip" | awk '/^-/ { print $7, $8 }' >"$work/members"
expected=$(for name in CREDITS.txt LICENSE.txt README.txt tavrin.scr; do echo "$stamp $folder/$name"; done)
[ "$(cat "$work/members")" = "$expected" ] ||
  fail "the zip's members and times are not the four files at $stamp (the commit's time):
$(cat "$work/members")"

unzip -q -d "$work" "$zip"
readme="$work/$folder/README.txt"
if [ -f "$readme" ]; then
  cr=$(printf '\r')
  [ "$(grep -c "$cr\$" "$readme")" = "$(wc -l <"$readme")" ] || fail "README.txt: a line without CRLF"
  tr -d '\r' <"$readme" | awk 'length > 78 { print "README.txt:" NR ": " length " columns"; bad = 1 } END { exit bad }' >&2 ||
    fail "README.txt: lines longer than 78 columns"
  ! LC_ALL=C grep -n "[^ -~$cr]" "$readme" >&2 || fail "README.txt: not plain ASCII"
  ! grep -n -e '[`|]' -e '\*\*' -e '^#' -e '](' "$readme" >&2 || fail "README.txt: Markdown"
  grep -q -F "$version+$commit" "$readme" || fail "README.txt does not name $version+$commit"
fi
[ ! -f "$work/$folder/CREDITS.txt" ] || grep -q "DejaVu Sans Mono Bold and DejaVu Sans," "$work/$folder/CREDITS.txt" ||
  fail "CREDITS.txt does not name the typefaces tavrin.scr carries"
for file in "$work/$folder/tavrin.scr" "$setup"; do
  [ -f "$file" ] || continue
  strings -e l "$file" >"$work/strings"
  [ "$(grep -A 1 -x ProductVersion "$work/strings" | tail -n 1)" = "$version+$commit" ] ||
    fail "$(basename "$file"): the product version is not $version+$commit"
  [ "$(grep -A 1 -x CompanyName "$work/strings" | tail -n 1)" = "The Tavrin developers" ] ||
    fail "$(basename "$file"): the CompanyName is not \"The Tavrin developers\""
done
[ $status -ne 0 ] || echo "$release: the downloads of $version+$commit"
exit $status
