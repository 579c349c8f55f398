#!/bin/sh
# build-without-tests.sh SOURCE_DIR WINDOWS_TREE SCRATCH [CMAKE ARGUMENTS...]
# Configures and builds the windows tree with -DTAVRIN_TESTS=OFF in SCRATCH,
# GoogleTest's sources set to a folder that does not exist, as on a machine
# without them: everything but the tests must build. Its saver and installer
# must then be WINDOWS_TREE's byte for byte: another folder, another time,
# the same bytes.
set -eu
source_dir=$1
tree=$2
scratch=$3
shift 3
version=$(head -n 1 "$source_dir/VERSION")
rm -rf "$scratch"
cmake -S "$source_dir" -B "$scratch" -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-w64.cmake" -DTAVRIN_TESTS=OFF \
  -DTAVRIN_GTEST_SOURCE="$scratch/no-googletest" "$@" >/dev/null
cmake --build "$scratch" -j 2
status=0
for file in tavrin.scr "tavrin-setup-$version.exe"; do
  cmp "$tree/$file" "$scratch/$file" || status=1
done
exit $status
