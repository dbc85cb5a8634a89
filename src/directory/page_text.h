// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

namespace ringwise {

// Reads page bytes as text: every well-formed UTF-8 sequence as the character it encodes,
// every other byte as the Latin-1 character of that value. The directory has served both
// encodings, and a page assembled from both still reads correctly.
QString decodePageText(const QByteArray &bytes);

// Replaces the character references a Danish page uses: &amp; &lt; &gt; &quot; &apos;, the
// named Latin-1 letters and signs (&oslash; &AElig; ...), and numeric ones (&#248; &#xF8;).
// A non-breaking space becomes a plain blank, so that trimming removes it. Unknown or
// malformed references stay as they are.
QString decodeCharacterReferences(const QString &text);

}  // namespace ringwise
