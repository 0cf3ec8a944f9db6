#include "TokenReader.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace qle::sequence {
namespace {

// Edits (insert, delete, replace) from one word to the other.
int editDistance(const QString &a, const QString &b)
{
    QList<int> row(b.size() + 1);
    for (qsizetype j = 0; j <= b.size(); ++j)
        row[j] = static_cast<int>(j);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = static_cast<int>(i);
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const int above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a.at(i - 1) == b.at(j - 1) ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// The one choice a misspelt word most likely meant, if any is close.
std::optional<QString> nearest(const QStringList &choices, const QString &word)
{
    if (word.size() < 3)
        return std::nullopt;
    std::optional<QString> best;
    int bestDistance = 3;
    for (const QString &choice : choices) {
        const int distance = editDistance(choice.toLower(), word.toLower());
        if (distance < bestDistance) {
            best = choice;
            bestDistance = distance;
        }
    }
    return best;
}

} // namespace

QString choiceList(const QStringList &choices)
{
    QStringList quoted;
    for (const QString &choice : choices)
        quoted << u'"' + choice + u'"';
    if (quoted.size() <= 1)
        return quoted.join(QString());
    const QString last = quoted.takeLast();
    return quoted.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
}

bool TokenReader::nextIs(const QString &word) const
{
    return !atEnd() && m_tokens.at(m_next).kind == Token::Kind::Word &&
           m_tokens.at(m_next).text.compare(word, Qt::CaseInsensitive) == 0;
}

bool TokenReader::nextIsSymbol(const QString &symbol) const
{
    return !atEnd() && m_tokens.at(m_next).kind == Token::Kind::Symbol && m_tokens.at(m_next).text == symbol;
}

Position TokenReader::here() const
{
    if (!atEnd())
        return {m_line, m_tokens.at(m_next).column};
    if (m_tokens.isEmpty())
        return {m_line, 1};
    const Token &last = m_tokens.last();
    const int quotes = last.kind == Token::Kind::Text ? 2 : 0;
    return {m_line, last.column + static_cast<int>(last.text.size()) + quotes};
}

QString TokenReader::describeNext() const
{
    if (atEnd())
        return QStringLiteral("the end of the line");
    const Token &token = m_tokens.at(m_next);
    return token.kind == Token::Kind::Text ? QStringLiteral("a quoted text") : u'"' + token.text + u'"';
}

void TokenReader::fail(Position at, const QString &message) const
{
    throw LineFault{{at, message}};
}

Token TokenReader::take(const QString &expected)
{
    if (atEnd())
        failAtNext(QStringLiteral("%1 expected, found the end of the line").arg(expected));
    return m_tokens.at(m_next++);
}

QString TokenReader::word(const QStringList &choices, const QString &context)
{
    if (!atEnd() && m_tokens.at(m_next).kind == Token::Kind::Word) {
        const QString &written = m_tokens.at(m_next).text;
        for (const QString &choice : choices) {
            if (written.compare(choice, Qt::CaseInsensitive) == 0) {
                ++m_next;
                return choice;
            }
        }
    }
    const QString tail = context.isEmpty() ? QString() : u' ' + context;
    if (!atEnd() && m_tokens.at(m_next).kind == Token::Kind::Word) {
        if (const std::optional<QString> meant = nearest(choices, m_tokens.at(m_next).text))
            failAtNext(QStringLiteral("\"%1\" expected%2, found %3").arg(*meant, tail, describeNext()));
    }
    failAtNext(QStringLiteral("%1 expected%2, found %3").arg(choiceList(choices), tail, describeNext()));
}

int TokenReader::channel(const QString &context, Position *at)
{
    static const QRegularExpression pattern(QStringLiteral("^ch([1-9][0-9]?)$"),
                                            QRegularExpression::CaseInsensitiveOption);
    if (!atEnd() && m_tokens.at(m_next).kind == Token::Kind::Word) {
        const QRegularExpressionMatch match = pattern.match(m_tokens.at(m_next).text);
        if (match.hasMatch()) {
            if (at)
                *at = here();
            ++m_next;
            return match.captured(1).toInt() - 1;
        }
    }
    failAtNext(QStringLiteral("a channel (ch1, ch2 or ch3) expected %1, found %2").arg(context, describeNext()));
}

double TokenReader::value(Dimension dimension, const QString &what, Position *at)
{
    if (atEnd() || m_tokens.at(m_next).kind != Token::Kind::Number)
        failAtNext(QStringLiteral("a number expected for %1, found %2").arg(what, describeNext()));
    if (at)
        *at = here();
    const Token number = m_tokens.at(m_next++);
    QString unit = number.suffix;
    Position unitAt{m_line, number.column + static_cast<int>(number.text.size() - number.suffix.size())};
    if (unit.isEmpty() && !atEnd() && m_tokens.at(m_next).kind == Token::Kind::Word &&
        isUnit(m_tokens.at(m_next).text)) {
        unitAt = here();
        unit = m_tokens.at(m_next++).text;
    }
    if (unit.isEmpty())
        return number.number;
    const std::optional<double> scale = unitScale(dimension, unit);
    if (!scale)
        fail(unitAt, QStringLiteral("\"%1\" is no unit of %2: use %3")
                         .arg(unit, dimensionName(dimension), unitChoices(dimension)));
    return number.number * *scale;
}

qint64 TokenReader::count(const QString &context, qint64 minimum)
{
    const bool whole = !atEnd() && m_tokens.at(m_next).kind == Token::Kind::Number &&
                       m_tokens.at(m_next).suffix.isEmpty() &&
                       m_tokens.at(m_next).number == std::floor(m_tokens.at(m_next).number) &&
                       !m_tokens.at(m_next).text.contains(u'.');
    if (!whole)
        failAtNext(QStringLiteral("a whole number expected %1, found %2").arg(context, describeNext()));
    if (m_tokens.at(m_next).number < static_cast<double>(minimum) || m_tokens.at(m_next).number > 1e9)
        failAtNext(QStringLiteral("a number from %1 to 1000000000 expected %2, found %3")
                       .arg(QString::number(minimum), context, describeNext()));
    return static_cast<qint64>(m_tokens.at(m_next++).number);
}

double TokenReader::duration(const QString &what)
{
    if (atEnd() || m_tokens.at(m_next).kind != Token::Kind::Number)
        failAtNext(
            QStringLiteral("a time expected for %1 (e.g. 500ms, 10s, 5m, 2h), found %2").arg(what, describeNext()));
    const Position at = here();
    const Token first = m_tokens.at(m_next++);
    QString written = first.text;
    if (first.suffix.isEmpty()) {
        if (atEnd() || m_tokens.at(m_next).kind != Token::Kind::Word ||
            !unitScale(Dimension::Time, m_tokens.at(m_next).text))
            failAtNext(QStringLiteral("a time unit (ms, s, m or h) expected after %1, found %2")
                           .arg(first.text, describeNext()));
        written += m_tokens.at(m_next++).text;
    }
    // "1h 30m": further parts, each with its unit.
    while (!atEnd() && m_tokens.at(m_next).kind == Token::Kind::Number && !m_tokens.at(m_next).suffix.isEmpty() &&
           readDuration(m_tokens.at(m_next).text))
        written += m_tokens.at(m_next++).text;
    const std::optional<double> seconds = readDuration(written);
    if (!seconds)
        fail(at, QStringLiteral("\"%1\" is not a time: write e.g. 500ms, 1.5s, 5m, 2h or 1h30m").arg(written));
    return *seconds;
}

QString TokenReader::text(const QString &what)
{
    if (atEnd() || m_tokens.at(m_next).kind != Token::Kind::Text)
        failAtNext(QStringLiteral("a quoted text expected for %1, found %2").arg(what, describeNext()));
    return m_tokens.at(m_next++).text;
}

void TokenReader::end()
{
    if (!atEnd())
        failAtNext(QStringLiteral("nothing more expected, found %1").arg(describeNext()));
}

} // namespace qle::sequence
