#pragma once

#include "LineLexer.h"
#include "Units.h"

#include <QStringList>

namespace qle::sequence {

// Thrown by TokenReader at the first fault of a line; the parser catches it
// and goes on with the next line.
struct LineFault {
    Diagnostic diagnostic;
};

// Reads the tokens of one line in order, each read saying what it expects;
// a token that does not fit throws a LineFault naming what was expected and
// what was found.
class TokenReader {
public:
    TokenReader(const QList<Token> &tokens, int line) : m_tokens(tokens), m_line(line) {}

    [[nodiscard]] bool atEnd() const { return m_next >= m_tokens.size(); }
    // True when the next token is `word` (any case).
    [[nodiscard]] bool nextIs(const QString &word) const;
    [[nodiscard]] bool nextIsSymbol(const QString &symbol) const;
    // Where the next token starts, or just past the last one.
    [[nodiscard]] Position here() const;

    // The next token, whatever it is; a fault at the end of the line.
    Token take(const QString &expected);
    // One of `choices` (any case), returned as written in `choices`.
    // `context` follows "expected" in the message: "after ch1".
    QString word(const QStringList &choices, const QString &context);
    // `ch1`, `CH2`: the 0-based channel.
    int channel(const QString &context, Position *at);
    // A number with an optional unit of `dimension`, written after it with
    // or without a space; in the base unit.
    double value(Dimension dimension, const QString &what, Position *at = nullptr);
    // A whole number without a unit, at least `minimum`; `context` as of word().
    qint64 count(const QString &context, qint64 minimum);
    // A time: "500ms", "10 s", "1h30m", "1h 30m"; in seconds.
    double duration(const QString &what);
    // A quoted text.
    QString text(const QString &what);
    // Nothing more on the line.
    void end();

    [[noreturn]] void fail(Position at, const QString &message) const;
    [[noreturn]] void failAtNext(const QString &message) const { fail(here(), message); }

    // The next token as a message names it: "\"voltge\"", "the end of the line".
    [[nodiscard]] QString describeNext() const;

private:
    QList<Token> m_tokens;
    int m_line;
    qsizetype m_next = 0;
};

// "a", "a or b", "a, b or c", each quoted.
QString choiceList(const QStringList &choices);

} // namespace qle::sequence
