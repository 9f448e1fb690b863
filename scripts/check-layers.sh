#!/usr/bin/env bash
# Checks that every #include "folder/..." between top-level folders goes down
# the README's layer table (its rows, lowest first, each naming a folder in
# backticks): a file never includes one from a folder listed after its own.
# Also fails on a folder holding C++ files that the table does not list.
# Prints each offending line as file:line and exits 1; exits 0 when the map
# is true.
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t layers < <(sed -nE 's/^\| `([a-z0-9_]+)\/` \|.*/\1/p' README.md)
if ((${#layers[@]} == 0)); then
  echo "check-layers: no layer table found in README.md" >&2
  exit 1
fi

declare -A rank
for i in "${!layers[@]}"; do
  rank[${layers[$i]}]=$i
done

status=0
for dir in */; do
  dir=${dir%/}
  [[ $dir == build* ]] && continue
  if [[ -z ${rank[$dir]+x} ]] && [[ -n $(find "$dir" -name '*.cpp' -o -name '*.h' | head -1) ]]; then
    echo "check-layers: folder $dir/ holds C++ files but has no row in README.md's layer table" >&2
    status=1
  fi
done

for dir in "${layers[@]}"; do
  [[ -d $dir ]] || continue
  own=${rank[$dir]}
  while IFS=: read -r file line target; do
    [[ -n ${rank[$target]+x} ]] || continue
    if ((rank[$target] > own)); then
      echo "$file:$line: $dir/ includes $target/, which the layer table lists above it" >&2
      status=1
    fi
  done < <(grep -rnE --include='*.cpp' --include='*.h' '^[[:space:]]*#[[:space:]]*include[[:space:]]+"[a-z0-9_]+/' "$dir" |
    sed -E 's/^([^:]+):([0-9]+):[[:space:]]*#[[:space:]]*include[[:space:]]+"([a-z0-9_]+)\/.*/\1:\2:\3/')
done

if ((status == 0)); then
  echo "check-layers: every include goes down the layer table (${layers[*]})"
fi
exit $status
