#pragma once

#include "Diagnostic.h"

#include <QList>
#include <QString>

#include <optional>

namespace qle::sequence {

// One word, number, quoted text or sign of a sequence line.
struct Token {
    enum class Kind { Word, Number, Text, Symbol };
    Kind kind = Kind::Word;
    // As written; a quoted text without its quotes; "+-" for both ways of
    // writing a tolerance.
    QString text;
    int column = 0; // 1-based
    // A number: its value, and what is written right after it ("V" of "5V",
    // "h30m" of "1h30m"), empty when nothing is.
    double number = 0;
    QString suffix;
};

// A line cut into tokens, the comment and surrounding blanks left out.
struct LexedLine {
    QList<Token> tokens;
    QString source; // the line without its comment, trimmed
    std::optional<Diagnostic> error;
};

LexedLine lexLine(const QString &line, int lineNumber);

} // namespace qle::sequence
