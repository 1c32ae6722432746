#!/usr/bin/env bash
# Fails on any #include in src/ that the folder table does not allow:
#   include_check.sh <src folder> <rules file>
# A folder of src/ that the table does not name fails too, so that a new
# folder is placed in the layers on purpose.
set -u
src="$1"
rules="$2"
declare -A allowed
while IFS= read -r line; do
  line="${line%%#*}"
  [[ "$line" == *:* ]] || continue
  folder="${line%%:*}"
  deps="${line#*:}"
  allowed["$folder"]=" $deps "
done <"$rules"

status=0
while IFS= read -r -d '' file; do
  relative="${file#"$src"/}"
  folder="$(dirname "$relative")"
  if [[ -z "${allowed[$folder]+set}" ]]; then
    echo "$relative: the folder $folder is not in $(basename "$rules")"
    status=1
    continue
  fi
  while IFS= read -r target; do
    [[ "$target" == */* ]] || continue  # a header beside the file
    to="$(dirname "$target")"
    [[ "$to" == "$folder" || "${allowed[$folder]}" == *" $to "* ]] && continue
    echo "$relative: includes $target, but $folder may not include $to"
    status=1
  done < <(sed -nE 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]+)".*/\1/p' "$file")
done < <(find "$src" -type f \( -name '*.h' -o -name '*.cpp' \) -print0)
exit "$status"
