#!/usr/bin/env bash
# Installs the build into a temporary root: first the program's and the
# libraries' parts, as their packages have them, where the translator finds
# the libraries by their versioned names; then the development files, against
# which a C program is built through pkg-config.
# install_test.sh BUILD SAMPLE LIBDIR CC SANITIZE(ON|OFF)
set -euo pipefail
build=$1
sample=$2
libdir=$3
cc=$4
sanitize=$5
here=$(cd "$(dirname "$0")" && pwd)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
prefix=/opt/veltrix
installed=$root$prefix
for component in runtime libtervo1 libmerideldll1 libvantorconverter1; do
  DESTDIR="$root" cmake --install "$build" --prefix $prefix --component $component >/dev/null
done
for library in libTervo libMeridelDLL libVantorConverter; do
  [ "$(readlink "$installed/$libdir/$library.so.1")" = "$library.so.1.0.0" ]
  [ ! -e "$installed/$libdir/$library.so" ]
done

"$installed/bin/translator" "$sample" "$root/sample.txt" TX >"$root/report.txt"
grep -q "^Conversion completed:" "$root/report.txt"
grep -q "^# Use text2pcap" "$root/sample.txt"
# The installed program finds the libraries in the library folder through
# its run path. ASan's dlopen interceptor hides that run path from the
# loader, so a sanitizer build names the folder explicitly.
libpath=
[ "$sanitize" = ON ] && libpath="$installed/$libdir"
LD_LIBRARY_PATH=$libpath "$installed/bin/translator" "$sample" "$root/sample.dat" OS \
  >"$root/report-os.txt"
grep -q "^Conversion completed:" "$root/report-os.txt"
LD_LIBRARY_PATH=$libpath "$installed/bin/translator" "$sample" "$root/sample.tv" TV \
  >"$root/report-tv.txt"
grep -q "^Conversion completed:" "$root/report-tv.txt"

# The shell completion offers the format codes that the program lists.
(
  . "$installed/share/bash-completion/completions/translator"
  COMP_WORDS=("$installed/bin/translator" in.pcap out.txt t)
  COMP_CWORD=3
  # Completion functions run without errexit, as a "||" list runs them.
  _translator "${COMP_WORDS[0]}" t out.txt || exit 1
  printf '%s\n' "${COMPREPLY[@]}" >"$root/completions.txt"
  grep -qx TD "$root/completions.txt"
  grep -qx TV "$root/completions.txt"
  [ -z "$(grep -v '^T' "$root/completions.txt")" ]
)

DESTDIR="$root" cmake --install "$build" --prefix $prefix --component dev >/dev/null
flags=(-std=c99 -Wall -Wextra -Werror)
[ "$sanitize" = ON ] && flags+=(-fsanitize=address,undefined)
export PKG_CONFIG_LIBDIR=$installed/$libdir/pkgconfig PKG_CONFIG_SYSROOT_DIR=$root
read -ra pkg_flags <<<"$(pkg-config --cflags --libs veltrix-tervo veltrix-meridel veltrix-vantor)"
# The headers serve C++ programs too.
for source in "$here"/c_client/*.c; do
  c++ -x c++ -std=c++20 -Wall -Wextra -Werror -fsyntax-only "${pkg_flags[@]}" "$source"
done
"$cc" "${flags[@]}" "$here"/c_client/*.c "${pkg_flags[@]}" -o "$root/c_client"
frames=$(sed -n 's/^Data Frames Written: *\t\([0-9]*\).*/\1/p' "$root/report-tv.txt")
version=$(pkg-config --modversion veltrix-tervo)
[ "$(LD_LIBRARY_PATH="$installed/$libdir" "$root/c_client" "$root/sample.tv" "$root/sample.dat" \
      "$sample")" = "$frames $frames 1"$'\n'"$version $version $version" ]
echo "installed, and a C program built against the installed libraries"
