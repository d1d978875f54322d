#!/usr/bin/env bash
# Installs the runtime part of the build into a temporary root, where the
# translator finds the libraries by their versioned names.
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
DESTDIR="$root" cmake --install "$build" --prefix $prefix --component runtime >/dev/null
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

echo "installed: the translator runs through the versioned libraries"
