#pragma once

#include <QTextDocument>

#include "preview/rtf_reader.h"

namespace salvorine {

// Lays out a document read from RTF as a Qt text document: paragraphs, runs
// with their weight, slant, underline, size, font and colour.
void FillTextDocument(QTextDocument& target, const RichDocument& document);

}  // namespace salvorine
