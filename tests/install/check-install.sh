#!/usr/bin/env bash
# Installs the build into a temporary prefix (mode "prefix") or builds the Debian package and
# unpacks it (mode "package"), then checks what landed there the way a desktop and Debian will.
#
#   check-install.sh prefix  CMAKE   BUILD_DIR VERSION APP_ID
#   check-install.sh package CPACK   BUILD_DIR VERSION APP_ID
#
# Exit 0 when everything holds, 1 with every failure listed, 77 when the package tools are missing.
set -uo pipefail

mode=$1 tool=$2 build=$3 version=$4 appid=$5
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

need() {
    command -v "$1" >/dev/null || { echo "FAIL: $1 is missing (scripts/setup.sh installs $2)" >&2; exit 1; }
}

# Every file belongs to one of these places; anything else (a static library, a test program,
# a header) leaked into the install.
check_no_strays() {
    local prefix=$1 file rel
    local allowed='^(bin/pelmar|bin/pelmar-tool|share/applications/'"$appid"'\.desktop|share/metainfo/'"$appid"'\.metainfo\.xml|share/icons/hicolor/(scalable/apps/'"$appid"'\.svg|[0-9]+x[0-9]+/apps/'"$appid"'\.png)|share/man/man1/pelmar(-tool)?\.1\.gz|include/pelmar/plugin\.h|share/doc/pelmar/.+)$'
    while IFS= read -r file; do
        rel=${file#"$prefix"/}
        [[ $rel =~ $allowed ]] || fail "unexpected file installed: $rel"
    done < <(find "$prefix" -type f -o -type l)
}

# The installed header is all a plug-in needs: the installed sample builds against it as C.
check_plugin_header() {
    local prefix=$1 out
    out=$(cc -std=c99 -Wall -Wextra -Wpedantic -Werror -shared -fPIC -I"$prefix/include" \
        "$prefix/share/doc/pelmar/examples/sender_status.c" -o "$work/sample.so" 2>&1) ||
        fail "the sample plug-in does not build against the installed header: $out"
    [[ -f $prefix/share/doc/pelmar/examples/sender-status.png ]] ||
        fail "the sample plug-in's button picture is not installed beside it"
}

check_programs() {
    local prefix=$1 out
    for exe in pelmar pelmar-tool; do
        [[ -x $prefix/bin/$exe ]] || fail "bin/$exe is missing or not executable"
    done
    out=$("$prefix/bin/pelmar" --version 2>&1) || fail "pelmar --version failed: $out"
    [[ $out == "$version" ]] || fail "pelmar --version printed '$out', expected '$version'"
    "$prefix/bin/pelmar-tool" --help >/dev/null 2>&1 || fail "pelmar-tool --help failed"
    check_starts "$prefix"
}

# The installed program starts (libraries, toolkit plug-ins, resources all found) and ends the
# orderly way on SIGTERM, storing its settings. The signal is honoured once a window is up, so it
# is repeated until the program has gone.
check_starts() {
    local prefix=$1 home=$work/home runtime=$work/runtime pid rc tries
    mkdir -p "$home" "$runtime" && chmod 700 "$runtime"
    QT_QPA_PLATFORM=offscreen PELMAR_HOME=$home XDG_RUNTIME_DIR=$runtime "$prefix/bin/pelmar" >"$work/run.log" 2>&1 &
    pid=$!
    for ((tries = 0; tries < 60; tries++)); do
        kill -0 "$pid" 2>/dev/null || break
        compgen -G "$runtime/pelmar-*.socket" >/dev/null && kill -TERM "$pid" 2>/dev/null
        sleep 0.5
    done
    if kill -0 "$pid" 2>/dev/null; then
        kill -KILL "$pid"
        fail "pelmar did not end within 30 s of starting: $(cat "$work/run.log")"
    fi
    wait "$pid"
    rc=$?
    [[ $rc == 0 ]] || fail "pelmar ended with $rc: $(cat "$work/run.log")"
    [[ -s $home/registry.reg ]] || fail "pelmar stored no settings on SIGTERM"
}

# Value of KEY in the [Desktop Entry] group.
desktop_value() {
    sed -n '/^\[Desktop Entry\]/,/^\[/p' "$1" | sed -n "s/^$2=//p" | head -n1
}

check_desktop_entry() {
    local prefix=$1
    local entry=$prefix/share/applications/$appid.desktop
    [[ -f $entry ]] || { fail "desktop entry $appid.desktop is missing"; return; }
    desktop-file-validate "$entry" >"$work/dfv" 2>&1 || fail "desktop-file-validate: $(cat "$work/dfv")"
    [[ -s $work/dfv ]] && fail "desktop-file-validate: $(cat "$work/dfv")"
    local key
    for key in 'Name' 'Name\[ru\]' 'Comment' 'Comment\[ru\]'; do
        [[ -n $(desktop_value "$entry" "$key") ]] || fail "desktop entry has no $key"
    done
    local exec
    exec=$(desktop_value "$entry" Exec)
    exec=${exec%% *}
    [[ -x $prefix/bin/$exec ]] || fail "desktop entry runs '$exec', which is not in bin/"
    [[ $(desktop_value "$entry" Icon) == "$appid" ]] || fail "desktop entry icon is not $appid"
    local categories
    categories=";$(desktop_value "$entry" Categories)"
    for key in Network Email; do
        [[ $categories == *";$key;"* ]] || fail "desktop entry lacks the category $key"
    done
}

check_metainfo() {
    local prefix=$1
    local meta=$prefix/share/metainfo/$appid.metainfo.xml
    [[ -f $meta ]] || { fail "metainfo $appid.metainfo.xml is missing"; return; }
    appstreamcli validate --no-net "$meta" >"$work/asv" 2>&1 || fail "appstreamcli validate: $(cat "$work/asv")"
    # The tree check also ties the metainfo to the desktop entry and the icon beside it.
    appstreamcli validate-tree --no-net "$prefix" >"$work/ast" 2>&1 ||
        fail "appstreamcli validate-tree: $(cat "$work/ast")"
    grep -q "<release version=\"$version\"" "$meta" || fail "metainfo names no release $version"
    grep -q "<launchable type=\"desktop-id\">$appid.desktop</launchable>" "$meta" ||
        fail "metainfo does not launch $appid.desktop"
}

# Width and height from a PNG's IHDR chunk.
png_size() {
    od -An -tu1 -j16 -N8 "$1" | awk '{ printf "%dx%d", (($1*256+$2)*256+$3)*256+$4, (($5*256+$6)*256+$7)*256+$8 }'
}

check_icons() {
    local prefix=$1 hicolor=$1/share/icons/hicolor
    grep -q '<svg' "$hicolor/scalable/apps/$appid.svg" 2>/dev/null || fail "the SVG icon is missing"
    local png size count=0
    for png in "$hicolor"/*x*/apps/"$appid.png"; do
        [[ -f $png ]] || continue
        count=$((count + 1))
        size=$(basename "$(dirname "$(dirname "$png")")")
        [[ $(head -c4 "$png" | od -An -c | tr -d ' ') == '211PNG' ]] || { fail "$size icon is no PNG"; continue; }
        [[ $(png_size "$png") == "$size" ]] || fail "$size icon is $(png_size "$png")"
    done
    for size in 16x16 32x32 48x48 256x256; do
        [[ -f $hicolor/$size/apps/$appid.png ]] || fail "no $size PNG icon"
    done
}

# The switches a program's --help names, one a line; "-L<profile>" comes out as "-L<".
help_switches() {
    "$1" --help 2>&1 | grep -oE -- '(^|[][ |(])--?[A-Za-z][A-Za-z0-9-]*<?' | sed 's/^[][ |(]//' | sort -u
}

# The commands a program's --help names ("pelmar-tool dump ..." gives "dump").
help_commands() {
    "$1" --help 2>&1 | grep -oE "(^|[[:space:]])$(basename "$1") [a-z][a-z-]+" | awk '{ print $2 }' | sort -u
}

check_man_page() {
    local prefix=$1 program=$2
    local page=$prefix/share/man/man1/$program.1.gz
    [[ -f $page ]] || { fail "man page $program(1) is missing"; return; }
    LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -P cat -l "$page" >/dev/null 2>"$work/warn" ||
        fail "man could not format $program(1)"
    [[ -s $work/warn ]] && fail "man warns about $program(1): $(cat "$work/warn")"
    # Wide enough that no switch is hyphenated across lines.
    local text
    text=$(LC_ALL=C.UTF-8 MANWIDTH=1000 man -E UTF-8 -P cat -l "$page" 2>/dev/null)
    grep -q '^EXIT STATUS' <<<"$text" || fail "$program(1) has no EXIT STATUS section"
    grep -q '^ENVIRONMENT' <<<"$text" || fail "$program(1) has no ENVIRONMENT section"
    grep -qF "$version" <<<"$text" || fail "$program(1) does not name version $version"
    local switch pattern
    while IFS= read -r switch; do
        if [[ $switch == *'<' ]]; then
            pattern="(^|[^A-Za-z0-9-])${switch%<}"  # the value follows without a space
        else
            pattern="(^|[^A-Za-z0-9-])${switch}([^A-Za-z0-9-]|\$)"
        fi
        grep -qE -- "$pattern" <<<"$text" || fail "$program(1) does not describe $switch"
    done < <(help_switches "$prefix/bin/$program")
    [[ -n $(help_switches "$prefix/bin/$program") ]] || fail "$program --help names no switch"
    local command
    while IFS= read -r command; do
        grep -qE -- "(^|[^A-Za-z0-9-])${command}([^A-Za-z0-9-]|\$)" <<<"$text" ||
            fail "$program(1) does not describe the command $command"
    done < <(help_commands "$prefix/bin/$program")
}

check_tree() {
    local prefix=$1
    check_no_strays "$prefix"
    check_programs "$prefix"
    check_plugin_header "$prefix"
    check_desktop_entry "$prefix"
    check_metainfo "$prefix"
    check_icons "$prefix"
    check_man_page "$prefix" pelmar
    check_man_page "$prefix" pelmar-tool
}

# Value of a control field of the package.
control_field() {
    dpkg-deb -f "$deb" "$1"
}

check_package() {
    local field
    [[ $(control_field Package) == pelmar ]] || fail "package name is $(control_field Package)"
    [[ $(control_field Version) == "$version" ]] || fail "package version is $(control_field Version)"
    [[ $(control_field Section) == mail ]] || fail "package section is $(control_field Section)"
    # Computed from the binaries (the toolkit, the C++ runtime), plus the icon theme and the toolkit's
    # Russian texts.
    for field in libqt6widgets6 libqt6network6 libstdc++6 libc6 hicolor-icon-theme qt6-translations-l10n; do
        [[ $(control_field Depends) == *"$field"* ]] || fail "Depends lacks $field: $(control_field Depends)"
    done
    for field in hunspell-ru hunspell-en-us fonts-terminus-otb fonts-dejavu-core; do
        [[ $(control_field Recommends) == *"$field"* ]] || fail "Recommends lacks $field"
    done
    [[ $(control_field Suggests) == *crashmail* ]] || fail "Suggests lacks crashmail"
    dpkg-deb -c "$deb" | awk '$2 != "root/root" { print $6 }' >"$work/owners"
    [[ -s $work/owners ]] && fail "files not owned by root: $(cat "$work/owners")"
    dpkg-deb -x "$deb" "$work/root"
    [[ -d $work/root/usr/bin ]] || { fail "the package installs nothing under /usr/bin"; return; }
    check_tree "$work/root/usr"
}

case $mode in
    prefix)
        need desktop-file-validate desktop-file-utils
        need appstreamcli appstream
        need man man-db
        "$tool" --install "$build" --prefix "$work/prefix" >"$work/install.log" 2>&1 ||
            { cat "$work/install.log" >&2; exit 1; }
        check_tree "$work/prefix"
        ;;
    package)
        for t in dpkg-deb dpkg-shlibdeps; do
            command -v $t >/dev/null || { echo "SKIP: $t is missing" >&2; exit 77; }
        done
        need desktop-file-validate desktop-file-utils
        need appstreamcli appstream
        need man man-db
        (cd "$work" && "$tool" --config "$build/CPackConfig.cmake" -G DEB -B "$work/out") >"$work/cpack.log" 2>&1 ||
            { cat "$work/cpack.log" >&2; exit 1; }
        deb=$(ls "$work"/out/pelmar_"$version"_*.deb 2>/dev/null | head -n1)
        [[ -n $deb ]] || { cat "$work/cpack.log" >&2; echo "FAIL: no pelmar_${version}_*.deb was built" >&2; exit 1; }
        check_package
        ;;
    *)
        echo "unknown mode $mode" >&2
        exit 2
        ;;
esac

if ((failures)); then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "all checks passed ($mode)"
