#!/usr/bin/env bash
# guide_pictures.sh CLI SOURCE: renders the user guide's pictures from the example
# models in a scratch copy of the guide's folder, as the build does, and checks that
# every picture the guide names was made and is a PNG that is not empty, and that
# every picture made is named in the guide.
set -euo pipefail
cli=$1
source=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/share/doc/trevolan/pictures" "$scratch/share/trevolan"
ln -s "$source/examples" "$scratch/share/trevolan/examples"
cd "$scratch/share/doc/trevolan"
out=$("$cli" exec -f "$source/docs/pictures.cli") || { echo "the pictures' script failed: $out" >&2; exit 1; }

fail=0
named=$(grep -o '](pictures/[^)]*)' "$source/docs/user-guide.md" | sed 's/^](//; s/)$//' | sort -u || true)
[ -n "$named" ] || { echo "the guide names no picture" >&2; exit 1; }
for picture in $named; do
  if [ ! -s "$picture" ] || [ "$(head -c 8 "$picture" | od -An -tx1 | tr -d ' \n')" != 89504e470d0a1a0a ]; then
    echo "the guide names $picture, which was not rendered as a PNG" >&2
    fail=1
  fi
done
for picture in pictures/*; do
  grep -qx "$picture" <<<"$named" || { echo "$picture is rendered but the guide never shows it" >&2; fail=1; }
done
for image in $(grep -o '](images/[^)]*)' "$source/docs/user-guide.md" | sed 's/^](//; s/)$//' | sort -u || true); do
  [ -s "$source/docs/$image" ] || { echo "the guide names $image, which docs/ has not" >&2; fail=1; }
done
exit $fail
