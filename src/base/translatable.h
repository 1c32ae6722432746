#pragma once
// Marks a window text kept below the windows (no Qt here) for the translation
// tools: lupdate reads TAVRIN_TRANSLATABLE as it reads QT_TRANSLATE_NOOP, and
// the window that shows the text translates it in `context`.

#define TAVRIN_TRANSLATABLE(context, text) text
