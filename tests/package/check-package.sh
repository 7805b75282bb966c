#!/usr/bin/env bash
# Makes the Debian package from a build folder and checks it as a user's machine gets it: its
# files and dependencies, the menu entry and the software-centre metadata through their
# validators, and both programs run from the unpacked tree, joins included.
#
# Usage: check-package.sh BUILD-FOLDER VERSION CORPUS-FOLDER
set -euo pipefail

build=$1
version=$2
corpus=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/paperloom-package-XXXXXX")
trap 'rm -rf "$work"' EXIT

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# --- the package -------------------------------------------------------------------------
if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log" >&2
    echo "FAIL: cpack could not make the package" >&2
    exit 1
fi
packages=("$work"/out/paperloom_"$version"_*.deb)
deb=${packages[0]}
if [ ! -f "$deb" ]; then
    ls "$work/out" >&2
    echo "FAIL: no paperloom_${version}_<architecture>.deb was made" >&2
    exit 1
fi
echo "made $(basename "$deb")"

field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = paperloom ] || fail "package name is $(field Package)"
[ "$(field Version)" = "$version" ] || fail "package version is $(field Version), not $version"
for name in Maintainer Section Homepage Description; do
    [ -n "$(field "$name")" ] || fail "the control file has no $name"
done

# Libraries as dpkg-shlibdeps found them in the binaries; LibreOffice only recommended, so
# that the window starts and Word documents join without it.
depends=$(field Depends)
recommends=$(field Recommends)
for library in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6svg6 libzip4 \
    libpugixml1v5 zlib1g; do
    [[ ", $depends," == *", $library "* || ", $depends," == *", $library,"* ]] ||
        fail "Depends lacks $library: $depends"
done
[[ $depends != *libreoffice* && $depends != *python3-uno* ]] ||
    fail "Depends asks for LibreOffice, which only the legacy formats need: $depends"
for package in libreoffice-writer-nogui python3-uno fonts-liberation; do
    [[ $recommends == *"$package"* ]] || fail "Recommends lacks $package: $recommends"
done

# Every file, with its type, mode and owner: nothing missing, nothing a build left behind.
list_files() {
    awk '$1 !~ /^d/ { f = $1 " " $2 " " $6; if ($7 == "->") f = f " -> " $8; print f }' |
        LC_ALL=C sort -k3
}
expected=$(
    cat <<'EOF'
lrwxrwxrwx root/root ./usr/bin/paperloom -> ../libexec/paperloom/paperloom
-rwxr-xr-x root/root ./usr/bin/paperloom-join
-rw-r--r-- root/root ./usr/libexec/paperloom/HAND-M.CUR
-rw-r--r-- root/root ./usr/libexec/paperloom/drag.ico
-rwxr-xr-x root/root ./usr/libexec/paperloom/paperloom
-rwxr-xr-x root/root ./usr/libexec/paperloom/paperloom-convert
-rwxr-xr-x root/root ./usr/libexec/paperloom/paperloom-convert-uno
-rw-r--r-- root/root ./usr/share/applications/paperloom.desktop
-rw-r--r-- root/root ./usr/share/icons/hicolor/128x128/apps/paperloom.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/16x16/apps/paperloom.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/22x22/apps/paperloom.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/24x24/apps/paperloom.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/256x256/apps/paperloom.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/32x32/apps/paperloom.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/48x48/apps/paperloom.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/64x64/apps/paperloom.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/scalable/apps/paperloom.svg
-rw-r--r-- root/root ./usr/share/man/man1/paperloom-join.1.gz
-rw-r--r-- root/root ./usr/share/man/man1/paperloom.1.gz
-rw-r--r-- root/root ./usr/share/metainfo/example.paperloom.paperloom.metainfo.xml
EOF
)
expected=$(echo "$expected" | LC_ALL=C sort -k3)
contents=$(dpkg-deb --contents "$deb" | list_files)
if [ "$contents" != "$expected" ]; then
    fail "the package's files differ from the expected ones:"
    diff <(echo "$expected") <(echo "$contents") >&2 || true
fi
if dpkg-deb --contents "$deb" | awk '$1 ~ /^d/ && $1 != "drwxr-xr-x"' | grep .; then
    fail "folders above are not drwxr-xr-x"
fi

# --- unpacked, as dpkg would install it ------------------------------------------------------
root=$work/root
dpkg-deb --extract "$deb" "$root"

for size in 16 22 24 32 48 64 128 256; do
    image=$root/usr/share/icons/hicolor/${size}x${size}/apps/paperloom.png
    dimensions=$(od -An -tu1 -j16 -N8 "$image" | awk '{ print $3 * 256 + $4 "x" $7 * 256 + $8 }')
    [ "$dimensions" = "${size}x${size}" ] || fail "$image is $dimensions pixels"
done
for page in paperloom paperloom-join; do
    gzip --test "$root/usr/share/man/man1/$page.1.gz" || fail "$page.1.gz is not gzip"
    if command -v man >/dev/null; then
        warnings=$(LC_ALL=C.UTF-8 man --warnings -l "$root/usr/share/man/man1/$page.1.gz" 2>&1 \
            >/dev/null)
        [ -z "$warnings" ] || fail "the manual page $page(1) has warnings: $warnings"
    fi
done

echo "desktop-file-validate:"
desktop=$root/usr/share/applications/paperloom.desktop
if ! desktop-file-validate "$desktop" >"$work/desktop.log" 2>&1 || [ -s "$work/desktop.log" ]; then
    fail "desktop-file-validate: $(cat "$work/desktop.log")"
fi
grep -E '^(MimeType=|Exec=.*%)' "$desktop" &&
    fail "the menu entry hands files to a program that reads no command line"

# The only remark allowed: the reserved domain's top level is unknown to the validator.
echo "appstreamcli validate-tree --no-net:"
appstreamcli validate-tree --no-net "$root" >"$work/appstream.log" 2>&1 ||
    fail "appstreamcli found errors or warnings"
cat "$work/appstream.log"
if grep -E '^ *[EWP]:' "$work/appstream.log" | grep -v 'cid-maybe-not-rdns'; then
    fail "appstreamcli remarks above"
fi
newest_release=$(grep -o '<release version="[^"]*"' \
    "$root/usr/share/metainfo/example.paperloom.paperloom.metainfo.xml" | head -1 | cut -d'"' -f2)
[ "$newest_release" = "$version" ] ||
    fail "the metadata's newest release is $newest_release, the package's version $version"

version_line=$("$root/usr/bin/paperloom-join" --version)
[ "$version_line" = "paperloom-join $version" ] || fail "--version printed: $version_line"
"$root/usr/bin/paperloom-join" --help | grep -q '^  \.doc \.dot ' || fail "--help names no formats"

# The window starts (and keeps running) from the unpacked tree.
status=0
QT_QPA_PLATFORM=offscreen timeout 3 "$root/usr/bin/paperloom" >"$work/window.log" 2>&1 || status=$?
[ "$status" -eq 124 ] || fail "the window program ended with $status: $(cat "$work/window.log")"

# Two small Word documents of our own, joined by the unpacked program.
python3 - "$work" <<'EOF'
import sys, zipfile
OOXML = 'http://schemas.openxmlformats.org/'
MAIN = 'application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml'
RELS = 'application/vnd.openxmlformats-package.relationships+xml'
for name, text in (('a.docx', 'Alpha paragraph'), ('b.docx', 'Beta paragraph')):
    with zipfile.ZipFile(f'{sys.argv[1]}/{name}', 'w', zipfile.ZIP_DEFLATED) as docx:
        docx.writestr('[Content_Types].xml',
            f'<Types xmlns="{OOXML}package/2006/content-types">'
            f'<Default Extension="rels" ContentType="{RELS}"/>'
            '<Default Extension="xml" ContentType="application/xml"/>'
            f'<Override PartName="/word/document.xml" ContentType="{MAIN}"/></Types>')
        docx.writestr('_rels/.rels',
            f'<Relationships xmlns="{OOXML}package/2006/relationships">'
            f'<Relationship Id="rId1" Target="word/document.xml"'
            f' Type="{OOXML}officeDocument/2006/relationships/officeDocument"/></Relationships>')
        docx.writestr('word/document.xml',
            f'<w:document xmlns:w="{OOXML}wordprocessingml/2006/main"><w:body>'
            f'<w:p><w:r><w:t>{text}</w:t></w:r></w:p></w:body></w:document>')
EOF
# True when the document holds every text: a Word package in its document part, a Word
# 97-2003 file in either of the encodings it stores text in.
holds_texts() {
    python3 - "$@" <<'EOF'
import sys, zipfile
path, texts = sys.argv[1], sys.argv[2:]
if zipfile.is_zipfile(path):
    with zipfile.ZipFile(path) as docx:
        data = docx.read('word/document.xml')
    sys.exit(0 if all(text.encode() in data for text in texts) else 1)
with open(path, 'rb') as doc:
    data = doc.read()
if not data.startswith(bytes.fromhex('d0cf11e0a1b11ae1')):
    sys.exit(1)
sys.exit(0 if all(text.encode('cp1252') in data or text.encode('utf-16-le') in data
                  for text in texts) else 1)
EOF
}
join() {
    "$root/usr/bin/paperloom-join" "$@" >"$work/join.log" 2>&1 ||
        fail "paperloom-join $*: $(cat "$work/join.log")"
}

join --page-breaks "$work/joined.docx" "$work/a.docx" "$work/b.docx"
holds_texts "$work/joined.docx" "Alpha paragraph" "Beta paragraph" ||
    fail "joined.docx does not hold both documents"

# Word 97-2003 in and out in one run, through the converter of the unpacked tree.
legacy=$corpus/word-extractor/test01.doc
if ! command -v soffice >/dev/null; then
    echo "LibreOffice is not installed: no Word 97-2003 join was tried"
elif [ -f "$legacy" ]; then
    join "$work/joined.doc" "$legacy" "$work/a.docx"
    holds_texts "$work/joined.doc" "This is a test of reviewing" "Alpha paragraph" ||
        fail "joined.doc is not a Word 97-2003 document holding both documents"
else
    echo "the shared corpus is missing: the Word 97-2003 join writes but does not read one"
    join "$work/joined.doc" "$work/a.docx" "$work/b.docx"
    holds_texts "$work/joined.doc" "Alpha paragraph" "Beta paragraph" ||
        fail "joined.doc is not a Word 97-2003 document holding both documents"
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "the package passed every check"
