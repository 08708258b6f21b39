#!/usr/bin/env bash
# The release folder: builds the shipped DLL with debug information, keeps
# that information beside it (OndexSetupCA.dll.debug, linked by name) and
# strips the DLL, optionally signs it with Authenticode, and puts the DLL,
# the debug file, the package kit and the action reference in
# build/release/OndexSetupCA-<version>/.
# Usage: scripts/release.sh [--sign CERT.pem KEY.pem]  (PEM certificate and
# unencrypted key; a timestamp server is not used).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
cert= key=
if [ "${1:-}" = --sign ]; then cert=$(realpath "$2"); key=$(realpath "$3"); fi

scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/release-tree/CMakeCache.txt)
out="$root/build/release/OndexSetupCA-$version"
rm -rf "$out" && mkdir -p "$out"

dll="$out/OndexSetupCA.dll"
cp build/release-tree/bin/OndexSetupCA.dll "$dll"
x86_64-w64-mingw32-objcopy --only-keep-debug "$dll" "$dll.debug"
x86_64-w64-mingw32-strip --strip-debug --strip-unneeded "$dll"
(cd "$out" && x86_64-w64-mingw32-objcopy --add-gnu-debuglink=OndexSetupCA.dll.debug OndexSetupCA.dll)

if [ -n "$cert" ]; then
  osslsigncode sign -certs "$cert" -key "$key" -h sha256 -n "Ondex Setup Custom Actions" \
    -in "$dll" -out "$dll.signed" >/dev/null
  mv "$dll.signed" "$dll"
fi

cp -r kit "$out/kit"
mkdir -p "$out/docs" && cp -r docs/actions "$out/docs/actions"
cp docs/behaviour.md "$out/docs/"
echo "release folder: $out"
ls -l "$out"
