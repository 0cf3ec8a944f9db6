#include "LineLexer.h"

#include "platform/FormatPattern.h"

namespace qle::sequence {
namespace {

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool isWordChar(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || isDigit(c) || c == u'_';
}

// A number starts with a digit, or a point, plus or minus before one.
bool startsNumber(const QString &line, qsizetype at)
{
    const auto digitAt = [&](qsizetype i) { return i < line.size() && isDigit(line.at(i)); };
    const QChar c = line.at(at);
    if (isDigit(c))
        return true;
    if (c == u'.')
        return digitAt(at + 1);
    if (c == u'-' || c == u'+')
        return digitAt(at + 1) || (at + 1 < line.size() && line.at(at + 1) == u'.' && digitAt(at + 2));
    return false;
}

} // namespace

LexedLine lexLine(const QString &line, int lineNumber)
{
    LexedLine lexed;
    qsizetype end = line.size();
    const auto fail = [&](qsizetype at, const QString &message) {
        lexed.error = Diagnostic{{lineNumber, static_cast<int>(at) + 1}, message};
    };
    qsizetype i = 0;
    while (i < line.size() && !lexed.error) {
        const QChar c = line.at(i);
        const auto column = static_cast<int>(i) + 1;
        if (c.isSpace()) {
            ++i;
        } else if (c == u'#') {
            end = i;
            break;
        } else if (c == u'"') {
            const qsizetype close = line.indexOf(u'"', i + 1);
            if (close < 0) {
                fail(i, QStringLiteral("the text has no closing quote"));
                break;
            }
            lexed.tokens.append({Token::Kind::Text, line.mid(i + 1, close - i - 1), column, 0, {}});
            i = close + 1;
        } else if (c == u'+' && i + 1 < line.size() && line.at(i + 1) == u'-') {
            lexed.tokens.append({Token::Kind::Symbol, QStringLiteral("+-"), column, 0, {}});
            i += 2;
        } else if (c == QChar(0x00B1)) {
            lexed.tokens.append({Token::Kind::Symbol, QStringLiteral("+-"), column, 0, {}});
            ++i;
        } else if (startsNumber(line, i)) {
            qsizetype j = i + 1;
            while (j < line.size() && (isDigit(line.at(j)) || line.at(j) == u'.'))
                ++j;
            const QString digits = line.mid(i, j - i);
            qsizetype k = j;
            while (k < line.size() && (isWordChar(line.at(k)) || line.at(k) == u'.'))
                ++k;
            bool ok = false;
            const double value = ReadNumber(digits, &ok);
            if (!ok) {
                fail(i, QStringLiteral("\"%1\" is not a number").arg(digits));
                break;
            }
            lexed.tokens.append({Token::Kind::Number, line.mid(i, k - i), column, value, line.mid(j, k - j)});
            i = k;
        } else if (isWordChar(c)) {
            qsizetype j = i;
            while (j < line.size() && isWordChar(line.at(j)))
                ++j;
            lexed.tokens.append({Token::Kind::Word, line.mid(i, j - i), column, 0, {}});
            i = j;
        } else if (c == u'<' || c == u'>' || c == u'=' || c == u':') {
            lexed.tokens.append({Token::Kind::Symbol, QString(c), column, 0, {}});
            ++i;
        } else {
            fail(i, QStringLiteral("unexpected \"%1\"").arg(c));
        }
    }
    if (lexed.error) {
        // A quote left open may hide the comment sign: cut at the first one.
        const qsizetype hash = line.indexOf(u'#');
        end = hash >= 0 ? hash : line.size();
    }
    lexed.source = line.left(end).trimmed();
    return lexed;
}

} // namespace qle::sequence
