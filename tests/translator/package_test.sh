#!/usr/bin/env bash
# Builds the Debian packages in one cpack run and checks them as a packager
# would: control fields, the files each holds, and lintian's verdict when
# lintian is installed.
# package_test.sh BUILD LIBDIR
set -euo pipefail
build=$1
libdir=usr/$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$build" && cpack -G DEB -B "$work" >/dev/null)
# Packed again, later: the same bytes.
mkdir "$work/again"
(cd "$build" && cpack -G DEB -B "$work/again" >/dev/null)
for deb in "$work"/*.deb; do
  cmp "$deb" "$work/again/$(basename "$deb")" || fail "$(basename "$deb") differs from a second packing"
done
runtime=$(ls "$work"/veltrix-translator_*.deb)
dev=$(ls "$work"/libveltrix-dev_*.deb)
libraries=(libtervo1 libmerideldll1 libvantorconverter1)

fail() {
  echo "$*" >&2
  exit 1
}
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
dev_files=(/usr/include/veltrix/tervo_file.h /usr/include/veltrix/meridel_api.h
  /usr/include/veltrix/vantor_converter.h /usr/share/doc/libveltrix-dev/copyright)
for page in translator st2tcpdump st2mergedtcpdump; do
  runtime_files+=("/usr/share/man/man1/$page.1.gz")
done
for library in libTervo libMeridelDLL libVantorConverter; do
  package=$(tr A-Z a-z <<<"$library")1
  holds "$work/${package}_$version"_*.deb "/$libdir/$library.so.1.0.0" \
    "/$libdir/$library.so.1 -> $library.so.1.0.0" "/usr/share/doc/$package/copyright"
  dev_files+=("/$libdir/$library.so -> $library.so.1")
done
for name in tervo meridel vantor; do
  dev_files+=("/$libdir/pkgconfig/veltrix-$name.pc")
done
holds "$runtime" "${runtime_files[@]}"
holds "$dev" "${dev_files[@]}"

# The packages close no Debian bug report: they are not uploaded to Debian.
# Hardening is reported at the informational level.
if command -v lintian >/dev/null; then
  lintian -I --fail-on error,warning --suppress-tags initial-upload-closes-no-bugs "$work"/*.deb |
    tee "$work/lintian.txt"
  ! grep -F ": hardening-" "$work/lintian.txt" || fail "the binaries lack hardening"
else
  echo "lintian is not installed: the packages are not linted"
fi
(cd "$work" && echo "packaged:" *.deb)
