#!/usr/bin/env bash
# Links one C99 program against the built libMeridelDLL and libVantorConverter,
# which export ReadFramesFromFile and AddFrameToFile under the same names with
# different signatures, and checks that each call reaches its own library:
# by its answer, and by the loader's bindings (LD_DEBUG=bindings).
# both_libraries_test.sh BUILD SOURCE SAMPLE CC SANITIZE(ON|OFF)
# Exit status 77 (skipped) when the compiler cannot link with gold.
set -euo pipefail
build=$1
source=$2
sample=$3
cc=$4
sanitize=$5
here=$(cd "$(dirname "$0")" && pwd)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
fail() {
  echo "$*" >&2
  exit 1
}

# The headers as a development package installs them.
mkdir -p "$root/include/veltrix"
ln -s "$source/meridel/include/meridel/meridel_api.h" "$source/vantor/vantor_converter.h" \
  "$root/include/veltrix/"
# A Meridel file (Ostrel) to read, written by the translator through the library.
"$build/bin/translator" "$sample" "$root/sample.dat" OS >/dev/null

flags=(-std=c99 -Wall -Wextra -Werror -I"$root/include")
[ "$sanitize" = ON ] && flags+=(-fsanitize=address,undefined)
sources=("$here"/both_libraries/*.c)
libraries=(-L"$build/bin" -lMeridelDLL -lVantorConverter -Wl,-rpath,"$build/bin")
reversed=(-L"$build/bin" -lVantorConverter -lMeridelDLL -Wl,-rpath,"$build/bin")

# check PROGRAM MERIDEL-OBJECT: runs the program and reads what each library
# answered and where the loader bound each shared name: the Meridel half's
# calls from MERIDEL-OBJECT to libMeridelDLL at MERIDEL_1, the Vantor half's
# from the program to libVantorConverter at VANTOR_1.
check() {
  local program=$1 meridel=$2 log
  rm -f "$root"/bindings.* "$root"/copy.dat "$root"/vantor.vn
  LD_DEBUG=bindings LD_DEBUG_OUTPUT="$root/bindings" \
    "$program" "$root/sample.dat" "$root/copy.dat" "$root/vantor.vn" >/dev/null 2>"$root/answers.txt" ||
    fail "$(basename "$program"): $(cat "$root/answers.txt")"
  grep -qE '^meridel [1-9][0-9]* 1$' "$root/answers.txt" || fail "Meridel answered: $(cat "$root/answers.txt")"
  grep -qx 'vantor 3 3' "$root/answers.txt" || fail "Vantor answered: $(cat "$root/answers.txt")"
  log=$(cat "$root"/bindings.*)
  for name in ReadFramesFromFile AddFrameToFile; do
    grep -qE "binding file $meridel \[0\] to [^ ]*/libMeridelDLL\.so\.1 \[0\]: normal symbol \`$name' \[MERIDEL_1\]" <<<"$log" ||
      fail "$name is not bound to libMeridelDLL at MERIDEL_1: $(grep -F "$name" <<<"$log")"
    grep -qE "binding file $program \[0\] to [^ ]*/libVantorConverter\.so\.1 \[0\]: normal symbol \`$name' \[VANTOR_1\]" <<<"$log" ||
      fail "$name is not bound to libVantorConverter at VANTOR_1: $(grep -F "$name" <<<"$log")"
  done
  grep -E "normal symbol \`(ReadFramesFromFile|AddFrameToFile)'" <<<"$log" | sed 's/^ *[0-9]*: *//'
}

# The Meridel half in a shared object linked against libMeridelDLL alone, the
# program against it and libVantorConverter: the loader's search order is
# the program, the object, libVantorConverter, libMeridelDLL, and without
# versions the object's calls would reach the Vantor library. Any linker.
"$cc" "${flags[@]}" -fPIC -shared "$here/both_libraries/meridel_side.c" -L"$build/bin" -lMeridelDLL \
  -Wl,--no-undefined -Wl,-rpath,"$build/bin" -o "$root/libmeridel_side.so"
"$cc" "${flags[@]}" "$here/both_libraries/main.c" "$here/both_libraries/vantor_side.c" \
  -L"$root" -lmeridel_side -L"$build/bin" -lVantorConverter -Wl,-rpath,"$root:$build/bin" \
  -o "$root/apart"
check "$root/apart" "$root/libmeridel_side.so"

# One program linked against both libraries: the headers ask for each name
# at its version. GNU ld 2.40 binds both versions of a name to the first
# library (or reports the second undefined); gold and lld link them apart.
if ! echo 'int main(void){return 0;}' | "$cc" -fuse-ld=gold -x c - -o "$root/probe" 2>/dev/null; then
  echo "$cc cannot link with gold (binutils): one program linked against both not checked"
  exit 77
fi
"$cc" "${flags[@]}" -fuse-ld=gold "${sources[@]}" "${libraries[@]}" -o "$root/both"
check "$root/both" "$root/both"
"$cc" "${flags[@]}" -fuse-ld=gold "${sources[@]}" "${reversed[@]}" -o "$root/both-reversed"
check "$root/both-reversed" "$root/both-reversed" >/dev/null
echo "each library's ReadFramesFromFile and AddFrameToFile reached its own library"
