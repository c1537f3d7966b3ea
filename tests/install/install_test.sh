#!/usr/bin/env bash
# Installs BUILD with the prefix /usr into the scratch folder ROOT and checks what lands there:
# exactly the files of EXPECTED, manual pages that man renders without a warning and that name
# every option the programs' --help shows, a desktop entry and AppStream metadata that their
# validators accept, and a file type that the MIME database takes with the entry's MimeType.
#   install_test.sh BUILD ROOT EXPECTED
set -uo pipefail
build=$1 root=$2 expected=$3
# A locale that every Debian system has: man complains on standard error about one that is not
# generated, and that would read as a warning of the page.
export LC_ALL=C.UTF-8
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

for tool in man desktop-file-validate appstreamcli update-mime-database; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing; run scripts/bootstrap test"; exit 1; }
done

rm -rf "$root"
if ! DESTDIR=$root "${CMAKE:-cmake}" --install "$build" --prefix /usr >"$root.log" 2>&1; then
  cat "$root.log"
  echo "FAIL: cmake --install"
  exit 1
fi

# Every file and link, and nothing else.
if ! diff -u "$expected" <(cd "$root" && find . \( -type f -o -type l \) | sed 's|^\./||' | LC_ALL=C sort); then
  fail "installed files differ from $expected (- expected, + installed)"
fi
while IFS= read -r dir; do
  fail "folder not readable by all: $dir"
done < <(find "$root" -type d ! -perm -0555)
[ -x "$root/usr/bin/trawlkit-cli" ] || fail "trawlkit-cli is not executable"

# The pages render, with groff's warnings on, to text that man shows without complaint.
for page in "$root"/usr/share/man/man*/*.gz; do
  warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
  MANWIDTH=80 man -l "$page" 2>/dev/null | grep -q '^NAME' || fail "$(basename "$page") has no NAME section"
done

# Each option a program's --help lists is in its page: the words that begin an indented line of
# the help, up to the first that is no option ("  -u, --url URL   add a start URL").
options_of() {
  awk '/^ +-/ { for (i = 1; i <= NF; i++) { t = $i; sub(/[,=].*$/, "", t); if (t !~ /^-./) break; print t } }' |
    sort -u
}
check_options() {
  local program=$1 page=$2 source
  source=$(gzip -dc "$page" | sed 's/\\-/-/g')
  while IFS= read -r option; do
    grep -qP -- "(?<![-\\w])\\Q$option\\E(?![-\\w])" <<<"$source" || fail "$(basename "$page") lacks $option"
  done < <("$build/$program" --help | options_of)
}
check_options trawlkit-cli "$root/usr/share/man/man1/trawlkit-cli.1.gz"
check_options trawlkit "$root/usr/share/man/man1/trawlkit.1.gz"

desktop=$root/usr/share/applications/trawlkit.desktop
out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $out"
[ -z "$out" ] || fail "desktop-file-validate: $out"

out=$(appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml 2>&1) || fail "appstreamcli validate: $out"

# The file type as the desktop sees it once the database is built: *.tkp, with its icon, opened
# by the wizard.
mime=$root/mime-check
mkdir -p "$mime"
cp -r "$root/usr/share/mime/packages" "$mime/"
if update-mime-database "$mime" >/dev/null 2>&1; then
  type=$(sed -n 's/^[^:]*:\([^:]*\):\*\.tkp.*/\1/p' "$mime/globs2")
  [ "$type" = application/x-trawlkit-project ] || fail "*.tkp is not application/x-trawlkit-project in the MIME database"
  grep -qx "MimeType=.*$type;.*" "$desktop" || fail "the desktop entry does not open $type"
  grep -q "^$type:application-x-trawlkit-project$" "$mime/icons" ||
    fail "the MIME database gives $type no icon of its own"
  [ -f "$root/usr/share/icons/hicolor/scalable/mimetypes/application-x-trawlkit-project.svg" ] ||
    fail "the icon of $type is not installed"
else
  fail "update-mime-database refused the file type"
fi
grep -q '^Exec=trawlkit %f$' "$desktop" || fail "the desktop entry does not start the wizard with the file"

bash -n "$root/usr/share/bash-completion/completions/trawlkit-cli" || fail "bash completion does not parse"
if command -v zsh >/dev/null; then
  zsh -n "$root/usr/share/zsh/vendor-completions/_trawlkit-cli" || fail "zsh completion does not parse"
fi

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
rm -rf "$root" "$root.log"
echo "install tree: all checks passed"
