#!/usr/bin/env bash
# Builds the Debian packages in one cpack run and checks them as a packager
# would: control fields, the files each holds, symbol versions and run paths,
# what installing the development package pulls in, a C program built against
# the packaged libraries, the desktop files, and lintian's verdict. A check
# whose tool is not installed says so and is left out.
# package_test.sh BUILD LIBDIR SOURCE
set -euo pipefail
build=$1
libdir=usr/$2
source=$3
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "$*" >&2
  exit 1
}
# skipped TOOL WHAT: says that a check is left out.
skipped() {
  echo "$1 is not installed: $2 not checked"
}

(cd "$build" && cpack -G DEB -B "$work" >/dev/null)
# Packed again, later: the same bytes.
mkdir "$work/again"
(cd "$build" && cpack -G DEB -B "$work/again" >/dev/null)
for deb in "$work"/*.deb; do
  cmp "$deb" "$work/again/$(basename "$deb")" || fail "$(basename "$deb") differs from a second packing"
done
echo "reproducible: a second packing gave the same bytes for $(cd "$work" && ls *.deb | paste -sd ' ')"
runtime=$(ls "$work"/veltrix-translator_*.deb)
dev=$(ls "$work"/libveltrix-dev_*.deb)
libraries=(libtervo1 libmerideldll1 libvantorconverter1)
field() { dpkg-deb --field "$1" "$2"; }
member() { dpkg-deb --fsys-tarfile "$1" | tar -xO "./$2"; }

# Depends comes from the binaries, the window's Qt libraries among them, and
# names the libraries the program loads.
version=$(field "$runtime" Version)
depends=$(field "$runtime" Depends)
sed 's/ *([^)]*)//g; s/, */\n/g' <<<"$depends" >"$work/depends.txt"
for package in libqt6core6 libqt6gui6 libqt6widgets6 libqt6svg6 zlib1g libzstd1 libdeflate0 \
  libstdc++6 "${libraries[@]}"; do
  grep -qxF "$package" "$work/depends.txt" || fail "Depends lacks $package: $depends"
done
[ "$(field "$runtime" Section)" = net ] || fail "Section: $(field "$runtime" Section)"
# Installing the development files pulls the three libraries, not the program.
[ "$(field "$dev" Depends | tr -d ' ' | tr , '\n' | sort)" = \
  "$(printf '%s(=%s)\n' libmerideldll1 "$version" libtervo1 "$version" libvantorconverter1 "$version")" ] ||
  fail "dev Depends: $(field "$dev" Depends)"

# A library package: libs, coinstallable across architectures, versioned
# dependencies through shlibs and symbols, ldconfig through the trigger alone.
for library in "${libraries[@]}"; do
  deb=$(ls "$work/${library}_"*.deb)
  [ "$(field "$deb" Section)" = libs ] || fail "$library Section: $(field "$deb" Section)"
  [ "$(field "$deb" Multi-Arch)" = same ] || fail "$library is not Multi-Arch: same"
  control=$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | sed 's|^\./||' | grep . | sort | paste -sd ' ')
  [ "$control" = "control md5sums shlibs symbols triggers" ] || fail "$library control files: $control"
  dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./shlibs | grep -qE "^lib[A-Za-z]+ 1 $library \(>= " ||
    fail "$library shlibs: $(dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./shlibs)"
  # Every symbol under the library's own version node.
  node=$(sed 's/^lib//; s/1$//; s/merideldll/meridel/; s/vantorconverter/vantor/' <<<"$library" |
    tr a-z A-Z)_1
  dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./symbols | grep '^ ' >"$work/symbols.txt"
  ! grep -v "@$node " "$work/symbols.txt" || fail "$library has symbols outside $node"
  grep -qx " $node@$node [0-9.]*" "$work/symbols.txt" || fail "$library does not define $node"
done
member "$runtime" usr/share/doc/veltrix-translator/changelog.Debian.gz | gzip -dc | head -1 |
  grep -qF "veltrix-translator ($version)" || fail "the changelog does not start at $version"
# The pkg-config files name the prefix the package installs under.
member "$dev" "$libdir/pkgconfig/veltrix-tervo.pc" | grep -qx "prefix=/usr" ||
  fail "veltrix-tervo.pc does not name /usr"

# holds PACKAGE PATH...: each path is in the package; "A -> B" is a link.
holds() {
  local package=$1 path
  shift
  dpkg-deb --contents "$package" | sed 's/^.* \.\//\//' >"$work/contents.txt"
  for path; do
    grep -qxF -- "$path" "$work/contents.txt" || fail "$(basename "$package") lacks $path"
  done
}
runtime_files=(/usr/bin/translator /usr/bin/st2tcpdump /usr/bin/st2mergedtcpdump
  /usr/share/veltrix-translator/Translator.html
  /usr/share/applications/veltrix-translator.desktop
  /usr/share/icons/hicolor/scalable/apps/veltrix-translator.svg
  /usr/share/bash-completion/completions/translator
  /usr/share/doc/veltrix-translator/copyright)
runtime_files+=(/usr/share/mime/packages/veltrix-translator.xml
  /usr/share/metainfo/example.veltrix.translator.metainfo.xml
  /usr/share/lintian/overrides/veltrix-translator)
dev_files=(/usr/include/veltrix/tervo_file.h /usr/include/veltrix/meridel_api.h
  /usr/include/veltrix/vantor_converter.h /usr/share/doc/libveltrix-dev/copyright)
for page in translator st2tcpdump st2mergedtcpdump; do
  runtime_files+=("/usr/share/man/man1/$page.1.gz")
done
for library in libTervo libMeridelDLL libVantorConverter; do
  package=$(tr A-Z a-z <<<"$library")1
  holds "$work/${package}_$version"_*.deb "/$libdir/$library.so.1.0.0" \
    "/$libdir/$library.so.1 -> $library.so.1.0.0" "/usr/share/doc/$package/copyright"
  dev_files+=("/$libdir/$library.so -> $library.so.1" "/usr/share/man/man3/$library.3.gz")
done
for name in tervo meridel vantor; do
  dev_files+=("/$libdir/pkgconfig/veltrix-$name.pc")
done
holds "$runtime" "${runtime_files[@]}"
holds "$dev" "${dev_files[@]}"

# The packages unpacked into one root, as dpkg would install them.
root=$work/root
for deb in "$work"/*.deb; do
  dpkg-deb -x "$deb" "$root"
done
# The program's run path is DT_RUNPATH, which LD_LIBRARY_PATH overrides.
readelf -d "$root/usr/bin/translator" >"$work/dynamic.txt"
grep -qF "(RUNPATH)" "$work/dynamic.txt" || fail "translator has no RUNPATH"
! grep -F "(RPATH)" "$work/dynamic.txt" || fail "translator carries DT_RPATH"

# Installing the development package takes the three library packages and
# nothing else of the suite (apt resolves the dependencies of the files).
apt-get install --simulate "$dev" "$work"/lib{tervo,merideldll,vantorconverter}1_*.deb \
  >"$work/apt.txt" 2>&1 || fail "libveltrix-dev cannot be installed with the libraries: $(cat "$work/apt.txt")"
for package in libveltrix-dev "${libraries[@]}"; do
  grep -q "^Inst $package " "$work/apt.txt" || fail "installing libveltrix-dev does not take $package"
done
! grep "^Inst veltrix-translator " "$work/apt.txt" || fail "installing libveltrix-dev takes the program"

# A C99 program built through pkg-config against the packaged libraries calls
# each of them: the record counts of a Tervo and a Meridel file that the
# translator wrote, the Vantor library's refusal of a file not its own, and
# each library's version.
"$build/bin/translator" "$source/samples/office-lan.pcap" "$work/sample.tv" TV >"$work/report-tv.txt"
"$build/bin/translator" "$source/samples/office-lan.pcap" "$work/sample.dat" OS >/dev/null
read -ra pkg_flags <<<"$(PKG_CONFIG_LIBDIR=$root/$libdir/pkgconfig PKG_CONFIG_SYSROOT_DIR=$root \
  pkg-config --cflags --libs veltrix-tervo veltrix-meridel veltrix-vantor)"
cc -std=c99 -Wall -Wextra -Werror "$here"/c_client/*.c "${pkg_flags[@]}" -o "$work/c_client"
frames=$(sed -n 's/^Data Frames Written: *\t\([0-9]*\).*/\1/p' "$work/report-tv.txt")
answers=$(LD_LIBRARY_PATH="$root/$libdir" "$work/c_client" "$work/sample.tv" "$work/sample.dat" \
  "$source/samples/office-lan.pcap")
upstream=${version%-*}
[ "$answers" = "$frames $frames 1"$'\n'"$upstream $upstream $upstream" ] ||
  fail "the C program got: $answers"
# Both libraries' ReadFramesFromFile and AddFrameToFile from one program.
if cc -fuse-ld=gold -std=c99 -Wall -Wextra -Werror "$here"/both_libraries/*.c "${pkg_flags[@]}" \
  -o "$work/both" 2>"$work/gold.txt"; then
  LD_LIBRARY_PATH="$root/$libdir" "$work/both" "$work/sample.dat" "$work/copy.dat" "$work/vantor.vn" \
    >/dev/null 2>"$work/both.txt" || fail "the program of both libraries got: $(cat "$work/both.txt")"
else
  skipped gold "a program of both libraries linked with gold ($(head -1 "$work/gold.txt"))"
fi

# The manual pages render without a warning.
for page in "$root"/usr/share/man/man*/*.gz; do
  [ -z "$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)" ] ||
    fail "$(basename "$page"): $(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)"
done

# Desktop integration: the entry, the MIME types it names, the AppStream data.
desktop=$root/usr/share/applications/veltrix-translator.desktop
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$desktop" || fail "desktop-file-validate refuses the desktop entry"
else
  skipped desktop-file-validate "the desktop entry"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml >"$work/appstream.txt" ||
    fail "appstreamcli refuses the metainfo: $(cat "$work/appstream.txt")"
else
  skipped appstreamcli "the AppStream metainfo"
fi
if command -v update-mime-database >/dev/null; then
  mkdir -p "$work/mime/packages"
  cp "$root/usr/share/mime/packages/veltrix-translator.xml" \
    /usr/share/mime/packages/freedesktop.org.xml "$work/mime/packages/"
  XDG_DATA_HOME=$work update-mime-database "$work/mime" >"$work/mime.txt" 2>&1
  [ ! -s "$work/mime.txt" ] || fail "update-mime-database refuses the MIME types: $(cat "$work/mime.txt")"
  # Every type the entry names is shared-mime-info's or ours.
  sed -n 's/^MimeType=//p' "$desktop" | tr ';' '\n' | grep . | while read -r type; do
    [ -f "$work/mime/$type.xml" ] || fail "the desktop entry names $type, which no MIME package defines"
  done
else
  skipped update-mime-database "the MIME types"
fi

# A console-only build's package speaks of no window and installs no
# desktop files (configured only).
cmake -S "$source" -B "$work/console" -G Ninja -DTRANSLATOR_GUI=OFF -DTRANSLATOR_TESTS=OFF >/dev/null
sed -n '/CPACK_DEBIAN_RUNTIME_DESCRIPTION/,/")$/p' "$work/console/CPackConfig.cmake" >"$work/console.txt"
grep -q "console command" "$work/console.txt" || fail "no console description: $(cat "$work/console.txt")"
! grep -i "window" "$work/console.txt" || fail "the console-only description speaks of a window"
! grep -E "\.desktop|metainfo|mime/packages" "$work/console/packaging/cmake_install.cmake" ||
  fail "a console-only build installs desktop files"

# The packages close no Debian bug report: they are not uploaded to Debian.
# Hardening is reported at the informational level.
if command -v lintian >/dev/null; then
  lintian -I --fail-on error,warning --suppress-tags initial-upload-closes-no-bugs "$work"/*.deb |
    tee "$work/lintian.txt"
  ! grep -E ": (hardening-|maintscript-calls-ldconfig|package-name-doesnt-match-sonames)" \
    "$work/lintian.txt" || fail "lintian: the packages are not as a distribution builds them"
else
  skipped lintian "the packages"
fi
(cd "$work" && echo "packaged:" *.deb)
