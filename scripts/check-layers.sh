#!/bin/bash
# Checks that the source folders include only from the folders below them,
# so that dependencies point one way. Prints each wrong-way include and
# exits 1 when there is one.
#   check-layers.sh [SOURCE_DIR]   (default: src beside this script)
set -uo pipefail
src="${1:-$(cd "$(dirname "$0")/.." && pwd)/src}"

# What each folder may include besides itself.
declare -A below=(
  [platform]=""
  [decode]="platform"
  [archive]="platform decode"
  [image]="platform decode archive"
  [ui]="platform decode archive image"
  [dialogs]="ui platform decode archive image"
  [viewer]="ui platform decode archive image"
  [arcwin]="viewer ui platform decode archive image"
  [browser]="viewer ui platform decode archive image"
  [thumbs]="browser viewer ui platform decode archive image"
  [codec]="platform decode archive image"
  [app]="thumbs browser arcwin viewer dialogs ui platform decode archive image"
)

# Folders that read the browser record only through ui/browser_access.h.
narrow="viewer arcwin"

bad=0
for dir in "$src"/*/; do
  folder=$(basename "$dir")
  if [ -z "${below[$folder]+set}" ]; then
    echo "unknown source folder: $folder (add it to scripts/check-layers.sh)"
    bad=1
    continue
  fi
  allowed=" $folder ${below[$folder]} "
  while IFS=: read -r file line text; do
    target=$(sed -E 's/.*#include "([a-z_]+)\/.*/\1/' <<<"$text")
    if [[ "$allowed" != *" $target "* ]]; then
      echo "$file:$line: $folder must not include from $target: $text"
      bad=1
    fi
  done < <(grep -HnE '^[[:space:]]*#[[:space:]]*include "[a-z_]+/' "$dir"* 2>/dev/null)
  if [[ " $narrow " == *" $folder "* ]]; then
    grep -Hn '#include "ui/browser_state.h"' "$dir"* 2>/dev/null | sed "s/\$/  ($folder reads the browser through ui\/browser_access.h)/" && bad=1
  fi
done
[ $bad -eq 0 ] && echo "layers: every include points down"
exit $bad
