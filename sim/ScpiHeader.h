#pragma once

#include <QByteArray>
#include <QList>

namespace psusim {

// One node of a colon-separated header: keyword plus optional numeric suffix
// ("CHAN2" -> "CHAN", 2).
struct HeaderNode {
    QByteArray keyword;
    int suffix = -1; // -1 when absent
};

struct CommandLine {
    bool valid = false;    // false when the header is not keyword[:keyword...]
    bool common = false;   // "*IDN?" style
    bool query = false;    // header ends with '?'
    QByteArray commonName; // upper case, without '*' and '?'
    QList<HeaderNode> nodes;
    QByteArray parameter; // trimmed text after the header
};

// Splits "[:]KEY[n]:KEY...[?] [param]" or "*NAME[?] [param]".
CommandLine parseCommandLine(const QByteArray &line);

// SCPI keyword match: pattern "VOLTage" accepts "VOLT" and "VOLTAGE" in any
// case, nothing in between.
bool keywordMatches(const QByteArray &token, const char *pattern);

} // namespace psusim
