#!/usr/bin/env bash
# Checks the Debian package that scripts/package.sh built in DIR as a user meets it:
# scripts/checkpackage.sh DIR. Unpacked into a scratch root, never installed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh lintian desktop-file-utils appstream man-db bash-completion
deb=$(ls "$1"/boxmere_*.deb)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"
usr=$root/usr

desktop-file-validate "$usr"/share/applications/*.desktop
appstreamcli validate --no-net "$usr"/share/metainfo/*.metainfo.xml
lintian --fail-on error "$deb"
# The completion, asked for the formats after --to.
offered=$(bash -c 'source /usr/share/bash-completion/bash_completion && source "$1"
    COMP_WORDS=(boxmere-cli convert in out --to ""); COMP_CWORD=5
    COMP_LINE="${COMP_WORDS[*]}"; COMP_POINT=${#COMP_LINE}
    _boxmere_cli && echo "${COMPREPLY[*]}"' - "$usr/share/bash-completion/completions/boxmere-cli")
[ "$offered" = "yolo coco json" ] || { echo "completion after --to: '$offered'" >&2; exit 1; }
for page in "$usr"/share/man/man1/*.1.gz; do
    # groff's warnings go to standard error; any of them fails the check.
    warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || { echo "$page: $warnings" >&2; exit 1; }
done

"$usr/bin/boxmere-cli" --version
QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$root "$usr/bin/boxmere" --version
mkdir -p "$root/set/labels" "$root/set/images"
printf 'person\n' >"$root/set/labels/classes.txt"
printf '0 0.5 0.5 0.2 0.4\n' >"$root/set/labels/a.txt"
: >"$root/set/images/a.jpg"
"$usr/bin/boxmere-cli" check "$root/set/labels"
echo "checkpackage: $deb passes" >&2
