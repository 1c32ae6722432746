#!/usr/bin/env bash
# Every window text in the sources is in each translation, translated: a text
# added without its translation, an empty or unfinished one, or a .ts file
# left behind the sources fails here, with the texts named.
#   translations_test.sh   (lupdate runs over copies; the tree is not touched)
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp "$root"/translations/*.ts "$work/"
"$root/scripts/update-translations.sh" "$work"/*.ts
status=0
for ts in "$root"/translations/*.ts; do
  name="$(basename "$ts")"
  if ! cmp -s "$ts" "$work/$name"; then
    echo "FAIL: $name is behind the sources (run scripts/update-translations.sh):"
    diff "$ts" "$work/$name" | grep '^>' | grep -F '<source>' | head -20 || true
    status=1
  fi
  python3 - "$work/$name" <<'PY' || status=1
import sys
import xml.etree.ElementTree as ET
bad = []
for context in ET.parse(sys.argv[1]).getroot().iter('context'):
    for message in context.iter('message'):
        translation = message.find('translation')
        if translation is None or translation.get('type') or not (translation.text or '').strip():
            bad.append(context.findtext('name') + ': ' + message.findtext('source'))
if bad:
    print('FAIL: ' + sys.argv[1].rsplit('/', 1)[-1] + ' leaves untranslated:\n  ' + '\n  '.join(bad))
    sys.exit(1)
PY
done
((status == 0)) && echo "PASS"
exit "$status"
