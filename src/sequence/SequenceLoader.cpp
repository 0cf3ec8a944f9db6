#include "SequenceLoader.h"

#include "LineParser.h"

#include <QFile>

#include <algorithm>

namespace qle::sequence {
namespace {

// A repeat whose `end` has not come yet, or the file's top level.
struct OpenBlock {
    Step header;
    std::vector<Step> steps;
};

// Closes the innermost block into a repeat step of the one around it.
void closeBlock(std::vector<OpenBlock> &blocks)
{
    OpenBlock block = std::move(blocks.back());
    blocks.pop_back();
    std::get<RepeatStep>(block.header.action).body = std::move(block.steps);
    blocks.back().steps.push_back(std::move(block.header));
}

} // namespace

LoadResult loadSequence(const QString &text)
{
    LoadResult result;
    std::vector<OpenBlock> blocks(1);
    QStringList lines = text.split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int lineNumber = static_cast<int>(i) + 1;
        QString line = lines.at(i);
        if (line.endsWith(u'\r'))
            line.chop(1);
        const ParsedLine parsed = parseLine(lexLine(line, lineNumber), lineNumber);
        if (parsed.error)
            result.diagnostics.append(*parsed.error);
        switch (parsed.kind) {
        case ParsedLine::Kind::Empty:
            break;
        case ParsedLine::Kind::Step:
            blocks.back().steps.push_back(parsed.step);
            break;
        case ParsedLine::Kind::RepeatOpen:
            blocks.push_back({parsed.step, {}});
            break;
        case ParsedLine::Kind::RepeatClose:
            if (blocks.size() > 1)
                closeBlock(blocks);
            else if (!parsed.error)
                result.diagnostics.append({parsed.step.at, QStringLiteral("end without a repeat before it")});
            break;
        case ParsedLine::Kind::OnStop:
            if (result.program.onStopAt.line > 0) {
                result.diagnostics.append(
                    {parsed.step.at,
                     QStringLiteral("on stop is given twice (first on line %1)").arg(result.program.onStopAt.line)});
                break;
            }
            result.program.onStop = parsed.onStop;
            result.program.onStopAt = parsed.step.at;
            break;
        }
    }
    while (blocks.size() > 1) {
        result.diagnostics.append({blocks.back().header.at,
                                   QStringLiteral("repeat of line %1 has no end").arg(blocks.back().header.at.line)});
        closeBlock(blocks);
    }
    result.program.steps = std::move(blocks.back().steps);
    if (result.program.steps.empty() && result.diagnostics.isEmpty())
        result.diagnostics.append({{}, QStringLiteral("the sequence has no steps")});
    std::stable_sort(result.diagnostics.begin(), result.diagnostics.end(),
                     [](const Diagnostic &a, const Diagnostic &b) { return a.at.line < b.at.line; });
    return result;
}

LoadResult loadSequenceFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        LoadResult result;
        result.diagnostics.append({{}, QStringLiteral("cannot read %1: %2").arg(path, file.errorString())});
        return result;
    }
    return loadSequence(QString::fromUtf8(file.readAll()));
}

} // namespace qle::sequence
