#pragma once
// The rich text the renderer produces, turned into a QTextDocument for the message view.
//
// Qt reads no RTF, so this reads the subset our documents use: the font table (names, families,
// \cpg866), the colour table, \f \fs \cf \highlight \b \ul \plain \pard \par \tab, the escapes
// \\ \{ \} and \'hh, and destinations marked \* (skipped). Other control words are ignored. Text in
// a \cpg866 font is read as CP866, everything else as CP1251 (\ansicpg866 switches the default).
//
// The input is built from hostile message text, so the reader works in one pass with bounded
// nesting, bounded numbers and bounded tables, and never fails: whatever it cannot read is dropped.
#include <QColor>
#include <QFont>
#include <functional>
#include <string_view>

class QTextDocument;

namespace pelmar::ui {

struct TRtfReadOptions {
    // Colour of text in the automatic colour (\cf0); invalid: the document's default.
    QColor AutoColor;
    // The font for a font-table entry whose face is not installed ("FixedSys", "MS Sans Serif"):
    // `fixedPitch` is true for \fnil and \fmodern entries. Unset: the system's fixed or general font.
    std::function<QFont(const QString& face, bool fixedPitch)> FontFor;
};

// Replaces the document's content with the text of `rtf`.
void ReadRtf(std::string_view rtf, QTextDocument& document, const TRtfReadOptions& options = {});

}  // namespace pelmar::ui
