#!/usr/bin/env bash
# Installs the build into a temporary root, runs the installed translator on a
# sample, then builds the Debian package and checks what it holds.
set -euo pipefail
build=$1
sample=$2
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
DESTDIR="$root" cmake --install "$build" --prefix /opt/veltrix >/dev/null
"$root/opt/veltrix/bin/translator" "$sample" "$root/sample.txt" TX >"$root/report.txt"
grep -q "^Conversion completed:" "$root/report.txt"
grep -q "^# Use text2pcap" "$root/sample.txt"
# The installed program finds libMeridelDLL.so in the library folder through
# its run path. ASan's dlopen interceptor hides that run path from the loader,
# so a sanitizer build names the folder explicitly.
libpath=
case "$(ldd "$root/opt/veltrix/bin/translator")" in
  *libasan*) libpath="$root/opt/veltrix/lib" ;;
esac
LD_LIBRARY_PATH=$libpath "$root/opt/veltrix/bin/translator" "$sample" "$root/sample.dat" OS \
  >"$root/report.txt"
grep -q "^Conversion completed:" "$root/report.txt"
# The installed translator finds the installed libTervo.so through its run path.
"$root/opt/veltrix/bin/translator" "$sample" "$root/sample.tv" TV >"$root/report-tv.txt"
grep -q "^Conversion completed:" "$root/report-tv.txt"
(cd "$build" && cpack -G DEB -B "$root/package" >/dev/null)
deb=$(ls "$root"/package/*.deb)
dpkg-deb -c "$deb" >"$root/contents.txt"
for file in '/usr/bin/translator' '/usr/bin/st2tcpdump' '/libVantorConverter.so' '/libMeridelDLL.so' \
            '/libTervo.so'; do
  grep -q "$file\$" "$root/contents.txt"
done
echo "installed and packaged: $(basename "$deb")"
