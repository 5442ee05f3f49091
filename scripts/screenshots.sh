#!/bin/bash
# Copies the screenshots that the Windows tests save (build/windows/artifacts)
# into docs/screenshots, where the README shows them. Run the Windows tests
# first: scripts/test.sh, or ctest -L 'gui|e2e' in build/windows.
# A picture wider than 800 pixels is shrunk to that width with ImageMagick.
# Says which screenshots are missing; copies the others.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
from="$here/build/windows/artifacts"
to="$here/docs/screenshots"
max_width=800

if [ ! -d "$from" ]; then
  echo "no $from: run the Windows tests first" >&2
  exit 1
fi
mkdir -p "$to"

# NAME in docs/screenshots, then the artifacts it is taken from, the first present wins.
shots=(
  "browser_folder.png browser_folder.png"
  "viewer_fitted.png viewer_fitted.png"
  "viewer_actual_size.png viewer_actual_size.png"
  "archive_window.png archive_window_from_command_line.png archive_mixed.png"
  "options_dialog.png options_dialog.png"
)
missing=0
for shot in "${shots[@]}"; do
  read -r name sources <<<"$shot"
  source=""
  for candidate in $sources; do
    if [ -f "$from/$candidate" ]; then
      source="$from/$candidate"
      break
    fi
  done
  if [ -z "$source" ]; then
    echo "missing: $name (looked for $sources)"
    missing=$((missing + 1))
    continue
  fi
  width="$(/usr/bin/identify -format '%w' "$source")"
  if [ "$width" -gt "$max_width" ]; then
    /usr/bin/convert "$source" -resize "${max_width}x" -strip "$to/$name"
    echo "shrunk: $name (${width} -> ${max_width} pixels wide)"
  else
    cp "$source" "$to/$name"
    echo "copied: $name"
  fi
done
echo "$(( ${#shots[@]} - missing )) of ${#shots[@]} screenshots in docs/screenshots"
