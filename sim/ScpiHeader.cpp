#include "ScpiHeader.h"

#include <cctype>
#include <cstring>

namespace psusim {

namespace {

bool isLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool parseNode(const QByteArray &text, HeaderNode &node)
{
    qsizetype i = 0;
    while (i < text.size() && isLetter(text[i]))
        ++i;
    if (i == 0)
        return false;
    node.keyword = text.left(i);
    if (i == text.size())
        return true;
    const QByteArray digits = text.mid(i);
    for (char c : digits) {
        if (!isDigit(c))
            return false;
    }
    if (digits.size() > 3)
        return false;
    node.suffix = digits.toInt();
    return true;
}

} // namespace

CommandLine parseCommandLine(const QByteArray &line)
{
    CommandLine cmd;
    const QByteArray text = line.trimmed();
    qsizetype split = 0;
    while (split < text.size() && text[split] != ' ' && text[split] != '\t')
        ++split;
    QByteArray header = text.left(split);
    cmd.parameter = text.mid(split).trimmed();
    if (header.endsWith('?')) {
        cmd.query = true;
        header.chop(1);
    }
    if (header.startsWith('*')) {
        cmd.common = true;
        cmd.commonName = header.mid(1).toUpper();
        cmd.valid = !cmd.commonName.isEmpty();
        for (char c : cmd.commonName)
            cmd.valid = cmd.valid && isLetter(c);
        return cmd;
    }
    if (header.startsWith(':'))
        header.remove(0, 1);
    if (header.isEmpty())
        return cmd;
    for (const QByteArray &part : header.split(':')) {
        HeaderNode node;
        if (!parseNode(part, node))
            return cmd;
        cmd.nodes.append(node);
    }
    cmd.valid = true;
    return cmd;
}

bool keywordMatches(const QByteArray &token, const char *pattern)
{
    QByteArray shortForm;
    for (const char *p = pattern; *p && std::isupper(static_cast<unsigned char>(*p)); ++p)
        shortForm.append(*p);
    const QByteArray upper = token.toUpper();
    return upper == shortForm || upper == QByteArray(pattern).toUpper();
}

} // namespace psusim
