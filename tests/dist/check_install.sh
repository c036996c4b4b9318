#!/bin/sh
# Installs the build into a temporary DESTDIR the way a package is made, then checks that every
# file a desktop needs is there (and nothing else), that the desktop's own validators accept the
# launcher, the metainfo and the MIME package where they are installed, and that the files
# agree with each other and with the programs.
#
# usage: check_install.sh BUILD_DIR VERSION
set -eu
build=$1
version=$2
id=org.vexor.Quillpad

work=$(mktemp -d "${TMPDIR:-/tmp}/quillpad-install.XXXXXX")
trap 'rm -rf "$work"' EXIT
dest=$work/root
share=$dest/usr/share
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
skip() {
    echo "SKIP: $* is not installed here"
}

if ! DESTDIR=$dest cmake --install "$build" --prefix /usr >"$work/install.log" 2>&1; then
    cat "$work/install.log" >&2
    echo "FAIL: cmake --install" >&2
    exit 1
fi

# Every file, and only these.
{
    echo usr/bin/quillpad
    echo usr/bin/quillpad-send
    echo "usr/share/applications/$id.desktop"
    echo "usr/share/metainfo/$id.metainfo.xml"
    echo "usr/share/mime/packages/$id.xml"
    echo usr/share/man/man1/quillpad.1.gz
    echo usr/share/man/man1/quillpad-send.1.gz
    for size in 16 22 32 48 64 128 256; do
        echo "usr/share/icons/hicolor/${size}x${size}/apps/$id.png"
    done
} | sort >"$work/expected"
(cd "$dest" && find . -type f -o -type l) | sed 's|^\./||' | sort >"$work/installed"
if ! diff -u "$work/expected" "$work/installed"; then
    fail "the installed files differ from the expected ones (- missing, + unexpected)"
fi

for program in quillpad quillpad-send; do
    [ -x "$dest/usr/bin/$program" ] || fail "usr/bin/$program is not executable"
done

# Each icon is a PNG of the size its directory claims.
for size in 16 22 32 48 64 128 256; do
    icon=$share/icons/hicolor/${size}x${size}/apps/$id.png
    [ -f "$icon" ] || continue
    header=$(od -A n -t x1 -N 24 "$icon" | tr -d ' \n')
    dimensions=$(printf '%08x%08x' "$size" "$size")
    case $header in
        89504e470d0a1a0a????????49484452$dimensions) ;;
        *) fail "icon ${size}x${size} is not a ${size}x${size} PNG" ;;
    esac
done

desktop=$share/applications/$id.desktop
metainfo=$share/metainfo/$id.metainfo.xml
mime=$share/mime/packages/$id.xml

# The files agree with each other: the launcher starts an installed program with a file and
# shows an installed icon; the log type it opens is the one the MIME package declares; the
# metainfo launches this launcher and describes this version.
key() { sed -n "s/^$1=//p" "$desktop" | head -n 1; }
exec_line=$(key Exec)
case $exec_line in
    "quillpad %f" | "quillpad %F" | "quillpad %u" | "quillpad %U") ;;
    *) fail "Exec=$exec_line does not start quillpad with a file" ;;
esac
[ "$(key Icon)" = "$id" ] || fail "Icon=$(key Icon) is not the installed icon $id"
[ "$(key Categories)" = "Network;InstantMessaging;" ] || fail "Categories=$(key Categories)"
log_type=$(sed -n 's/.*<mime-type type="\([^"]*\)".*/\1/p' "$mime")
[ -n "$log_type" ] || fail "the MIME package declares no type"
case ";$(key MimeType)" in
    *";$log_type;"*) ;;
    *) fail "MimeType=$(key MimeType) does not name the log type $log_type" ;;
esac
grep -q "<glob pattern=\"\*\.qpd\"/>" "$mime" || fail "the log type has no *.qpd pattern"
grep -q '<sub-class-of type="application/rtf"/>' "$mime" || fail "the log type is not RTF"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
    fail "the metainfo does not launch $id.desktop"
grep -q "<id>$id</id>" "$metainfo" || fail "the metainfo's id is not $id"
grep -q "<release version=\"$version\"" "$metainfo" ||
    fail "the metainfo has no release $version (the version being built)"
grep -q "<mediatype>$log_type</mediatype>" "$metainfo" ||
    fail "the metainfo does not say that it opens $log_type"

# The desktop's own tools.
if command -v desktop-file-validate >/dev/null 2>&1; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate"
else
    skip desktop-file-validate
fi
if command -v appstreamcli >/dev/null 2>&1; then
    appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate"
    # The tree as a whole: the launcher the metainfo names is there, and so are its icons.
    appstreamcli validate-tree --no-net "$dest" || fail "appstreamcli validate-tree"
else
    skip appstreamcli
fi
if command -v update-mime-database >/dev/null 2>&1; then
    # Builds the MIME cache of the installed tree alone, as the system does after installing.
    # (It warns about a directory outside the search path: the tree is put on it.)
    if ! XDG_DATA_DIRS=$share update-mime-database "$share/mime" >"$work/mime.log" 2>&1 || [ -s "$work/mime.log" ]; then
        cat "$work/mime.log" >&2
        fail "update-mime-database did not take the MIME package cleanly"
    fi
    grep -qx "[0-9]*:$log_type:\*\.qpd" "$share/mime/globs2" ||
        fail "the MIME cache does not map *.qpd to $log_type"
    grep -qx "$log_type application/rtf" "$share/mime/subclasses" ||
        fail "the MIME cache does not derive $log_type from application/rtf"
else
    skip update-mime-database
fi

# Manual pages: whole archives that man formats without a warning, and quillpad-send's page
# names every option its --help names.
for page in quillpad quillpad-send; do
    archive=$share/man/man1/$page.1.gz
    gzip -t "$archive" || fail "$page.1.gz is not a whole gzip file"
    if command -v man >/dev/null 2>&1; then
        warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
            man --warnings -E UTF-8 -l -Tutf8 -Z "$archive" 2>&1 >/dev/null) ||
            fail "man cannot format $page.1"
        [ -z "$warnings" ] || fail "man warns about $page.1: $warnings"
    fi
done
if [ -x "$dest/usr/bin/quillpad-send" ]; then
    # Options are the words that begin the help's indented lines with a dash.
    options=$("$dest/usr/bin/quillpad-send" --help | grep -o -- '^ *-[^ ]*\(, --[a-z-]*\)\?' |
        tr ',' '\n' | tr -d ' ')
    [ -n "$options" ] || fail "quillpad-send --help names no options"
    page=$(gzip -dc "$share/man/man1/quillpad-send.1.gz" | sed 's/\\-/-/g')
    for option in $options; do
        printf '%s\n' "$page" | grep -q -- "$option" ||
            fail "quillpad-send.1 does not describe $option"
    done
fi
page=$(gzip -dc "$share/man/man1/quillpad.1.gz" | sed 's/\\-/-/g')
for option in --print --printer; do
    printf '%s\n' "$page" | grep -q -- "$option" || fail "quillpad.1 does not describe $option"
done

if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "Installed files complete and valid in $(wc -l <"$work/installed") files"
