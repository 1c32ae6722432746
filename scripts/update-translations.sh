#!/usr/bin/env bash
# Gathers the windows' texts from the sources into each translations/*.ts:
# new texts arrive unfinished, texts no longer in the sources are dropped.
# Translate the unfinished ones (Qt Linguist, or by hand in the XML) and
# commit the .ts; the build turns it into the .qm the program loads.
#   scripts/update-translations.sh [ts-file ...]   (default: translations/*.ts)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
lupdate="$(qtpaths6 --query QT_HOST_LIBEXECS 2>/dev/null)/lupdate"
[[ -x "$lupdate" ]] || lupdate="$(qtpaths6 --query QT_HOST_BINS)/lupdate"
files=("$@")
[[ ${#files[@]} -gt 0 ]] || files=("$root"/translations/*.ts)
cd "$root"
# TAVRIN_TRANSLATABLE marks the texts kept below the windows (no Qt there).
"$lupdate" -silent -locations none -no-obsolete -extensions cpp,h \
  -tr-function-alias QT_TRANSLATE_NOOP+=TAVRIN_TRANSLATABLE src -ts "${files[@]}"
