#!/bin/bash
# The Debian package as a new user gets it: its name and contents, the
# programs run from an extracted copy (the README's first worked example on
# the simulated fleet, the binding export on the example tree), the desktop
# entry, the manual pages, the bash completion and lintian.
# Usage: packaging/check-package.sh BUILD_DIR (after `make package`).
set -u
build=$(cd "${1:-build}" && pwd)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb=$build/tessel-console_${version}_$(dpkg --print-architecture).deb
work=$build/check-package
root=$work/root
doc=$root/usr/share/doc/tessel-console
passed=0
failed=0

pass() { passed=$((passed + 1)); echo "ok: $1"; }
fail() { failed=$((failed + 1)); echo "FAILED: $1"; }
finish() {
    echo "check-package: $passed passed, $failed failed"
    [ "$failed" -eq 0 ]
    exit
}

if [ -z "$version" ] || [ ! -f "$deb" ]; then
    fail "no package $deb: run make package first"
    finish
fi
echo "== $deb"
dpkg-deb --info "$deb"
contents=$(dpkg-deb --contents "$deb")
echo "$contents"

missing=""
for path in usr/bin/tessel-console usr/bin/tessel-run \
    usr/share/applications/tessel-console.desktop \
    usr/share/icons/hicolor/scalable/apps/tessel-console.svg \
    usr/share/icons/hicolor/48x48/apps/tessel-console.png \
    usr/share/icons/hicolor/256x256/apps/tessel-console.png \
    usr/share/man/man1/tessel-console.1.gz usr/share/man/man1/tessel-run.1.gz \
    usr/share/bash-completion/completions/tessel-run \
    usr/share/doc/tessel-console/README.md usr/share/doc/tessel-console/copyright \
    usr/share/doc/tessel-console/changelog.gz \
    usr/share/doc/tessel-console/examples/runs/display.jsonl \
    usr/share/doc/tessel-console/examples/runs/changed-fleet.json \
    usr/share/doc/tessel-console/examples/fleet/checklist.jsonl; do
    # grep reads it all: a reader that stops early would break dpkg-deb's pipe.
    printf '%s\n' "$contents" | grep " \./$path\$" >/dev/null || missing="$missing $path"
done
[ -z "$missing" ] && pass "the package holds every file" || fail "not in the package:$missing"

rm -rf "$work" && mkdir -p "$work/home" && dpkg-deb -x "$deb" "$root" || { fail "dpkg-deb -x"; finish; }

# As a build server runs the programs: no display, the built-in fleet.
run() {
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u TESSEL_SIM_FLEET -u TESSEL_RUN_PASSWORD \
        XDG_DATA_HOME="$work/home" TESSEL_SIM_LATENCY_MS=0 "$@" >"$work/out" 2>"$work/err"
    code=$?
}
run "$root/usr/bin/tessel-run" --version
[ $code -eq 0 ] && [ "$(cat "$work/out")" = "tessel-run $version" ] && [ ! -s "$work/err" ] &&
    pass "tessel-run --version" || fail "tessel-run --version: exit $code, $(cat "$work/out" "$work/err")"
run "$root/usr/bin/tessel-run" --help
[ $code -eq 0 ] && grep -q "^usage: tessel-run" "$work/out" && grep -q -- "--version" "$work/out" &&
    [ ! -s "$work/err" ] && pass "tessel-run --help" || fail "tessel-run --help: exit $code"
run "$root/usr/bin/tessel-run" --version extra
[ $code -eq 2 ] && [ ! -s "$work/out" ] && grep -q "^usage: tessel-run" "$work/err" &&
    pass "tessel-run --version extra is refused" || fail "tessel-run --version extra: exit $code"

# The README's first worked example, from the installed documentation.
run env TESSEL_RUN_PASSWORD=123456 "$root/usr/bin/tessel-run" "$doc/examples/runs/display.jsonl" --login admin --grace 50
[ $code -eq 0 ] && pass "the sample run on the built-in fleet" ||
    fail "the sample run: exit $code, $(cat "$work/out" "$work/err")"
run env TESSEL_RUN_PASSWORD=123456 TESSEL_SIM_FLEET="$doc/examples/runs/changed-fleet.json" \
    "$root/usr/bin/tessel-run" "$doc/examples/runs/display.jsonl" --login admin --grace 50
[ $code -eq 1 ] && grep -q "width: recorded 1920, now 1280" "$work/out" && pass "the sample run on the changed fleet" ||
    fail "the sample run on the changed fleet: exit $code, $(cat "$work/out" "$work/err")"

cp -r "$doc/examples/export-tree" "$work/export-tree"
run "$root/usr/bin/tessel-console" -export "$work/export-tree/sdk-root"
if [ $code -eq 0 ] &&
    cmp -s "$work/export-tree/sdk-root/demo/java/src/tesselcore.java" "$work/export-tree/expected/tesselcore.java" &&
    cmp -s "$work/export-tree/sdk-root/demo/c#/tesselcoresample/tesselcore.cs" "$work/export-tree/expected/tesselcore.cs"; then
    pass "tessel-console -export on the example tree"
else
    fail "tessel-console -export: exit $code, $(cat "$work/err")"
fi

if command -v desktop-file-validate >/dev/null; then
    # Hints (two main categories, as asked for) are no fault; errors and warnings are.
    desktop-file-validate "$root/usr/share/applications/tessel-console.desktop" >"$work/out" 2>&1
    code=$?
    cat "$work/out"
    [ $code -eq 0 ] && ! grep -q "error:\|warning:" "$work/out" && pass "desktop-file-validate" ||
        fail "desktop-file-validate"
else
    echo "skipped: desktop-file-validate is not installed (Debian package desktop-file-utils)"
fi

for page in "$root"/usr/share/man/man1/*.1.gz; do
    LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" >"$work/out" 2>"$work/err"
    code=$?
    [ $code -eq 0 ] && [ ! -s "$work/err" ] && grep -q "^EXIT STATUS" "$work/out" &&
        pass "man -l $(basename "$page")" || fail "man -l $(basename "$page"): $(cat "$work/err")"
done

# Every option of the usage text has its entry in the manual page, and the
# completion offers it.
run "$root/usr/bin/tessel-run" --help
undocumented=""
uncompleted=""
for option in $(grep -o -- '--[a-z][a-z-]*' "$work/out" | sort -u); do
    zcat "$root/usr/share/man/man1/tessel-run.1.gz" | grep -q -F -- "${option//-/\\-}" ||
        undocumented="$undocumented $option"
    grep -q -w -- "$option" "$root/usr/share/bash-completion/completions/tessel-run" ||
        uncompleted="$uncompleted $option"
done
[ -z "$undocumented" ] && pass "every option of --help in tessel-run(1)" ||
    fail "not in tessel-run(1):$undocumented"
[ -z "$uncompleted" ] && pass "every option of --help in the completion" ||
    fail "not in the completion:$uncompleted"

words=$(bash -c 'shopt -s extglob; source "$1"; COMP_WORDS=(tessel-run --ver); COMP_CWORD=1; _tessel_run;
    echo "${COMPREPLY[*]}"' _ "$root/usr/share/bash-completion/completions/tessel-run")
[ "$words" = "--version" ] && pass "bash completion" || fail "bash completion of --ver: \"$words\""

if command -v lintian >/dev/null; then
    lintian --fail-on error "$deb" 2>&1 | grep -v "root privileges"
    [ "${PIPESTATUS[0]}" -eq 0 ] && pass "lintian: no error" || fail "lintian"
else
    echo "skipped: lintian is not installed"
fi
finish
