#include "SequenceEditor.h"

#include <QHelpEvent>
#include <QPainter>
#include <QTextBlock>
#include <QToolTip>

namespace qle {
namespace {

class Margin final : public QWidget {
public:
    explicit Margin(SequenceEditor *editor) : QWidget(editor), m_editor(editor) {}
    [[nodiscard]] QSize sizeHint() const override { return {m_editor->marginWidth(), 0}; }

protected:
    void paintEvent(QPaintEvent *event) override { m_editor->paintMargin(event); }

private:
    SequenceEditor *m_editor;
};

} // namespace

SequenceEditor::SequenceEditor(QWidget *parent) : QPlainTextEdit(parent), m_margin(new Margin(this))
{
    setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont fixed(QStringLiteral("Monospace"));
    fixed.setStyleHint(QFont::TypeWriter);
    setFont(fixed);
    connect(this, &QPlainTextEdit::blockCountChanged, this, [this] { setViewportMargins(marginWidth(), 0, 0, 0); });
    connect(this, &QPlainTextEdit::updateRequest, this, &SequenceEditor::updateMargin);
    setViewportMargins(marginWidth(), 0, 0, 0);
}

int SequenceEditor::marginWidth() const
{
    int digits = 2;
    for (int lines = blockCount(); lines >= 100; lines /= 10)
        ++digits;
    // Room for the fault mark after the number.
    return fontMetrics().horizontalAdvance(u'9') * (digits + 2) + 6;
}

void SequenceEditor::setFaults(const QMap<int, QString> &faults)
{
    m_faults = faults;
    updateHighlights();
    m_margin->update();
}

void SequenceEditor::setRunningLine(int line)
{
    if (line == m_runningLine)
        return;
    m_runningLine = line;
    updateHighlights();
    m_margin->update();
    if (line > 0) {
        const QTextBlock block = document()->findBlockByNumber(line - 1);
        if (block.isValid()) {
            QTextCursor cursor(block);
            setTextCursor(cursor);
            ensureCursorVisible();
        }
    }
}

void SequenceEditor::updateHighlights()
{
    QList<QTextEdit::ExtraSelection> selections;
    const auto lineSelection = [this](int line, const QColor &color) {
        QTextEdit::ExtraSelection selection;
        selection.format.setBackground(color);
        selection.format.setProperty(QTextFormat::FullWidthSelection, true);
        selection.cursor = QTextCursor(document()->findBlockByNumber(line - 1));
        return selection;
    };
    for (auto it = m_faults.cbegin(); it != m_faults.cend(); ++it)
        if (it.key() > 0)
            selections.append(lineSelection(it.key(), QColor(255, 220, 220)));
    if (m_runningLine > 0)
        selections.append(lineSelection(m_runningLine, QColor(210, 235, 255)));
    setExtraSelections(selections);
}

void SequenceEditor::resizeEvent(QResizeEvent *event)
{
    QPlainTextEdit::resizeEvent(event);
    const QRect area = contentsRect();
    m_margin->setGeometry(QRect(area.left(), area.top(), marginWidth(), area.height()));
}

void SequenceEditor::updateMargin(const QRect &rect, int dy)
{
    if (dy != 0)
        m_margin->scroll(0, dy);
    else
        m_margin->update(0, rect.y(), m_margin->width(), rect.height());
}

void SequenceEditor::paintMargin(QPaintEvent *event)
{
    QPainter painter(m_margin);
    painter.fillRect(event->rect(), palette().color(QPalette::Window));
    QTextBlock block = firstVisibleBlock();
    int top = qRound(blockBoundingGeometry(block).translated(contentOffset()).top());
    const int digitWidth = fontMetrics().horizontalAdvance(u'9');
    while (block.isValid() && top <= event->rect().bottom()) {
        const int height = qRound(blockBoundingRect(block).height());
        const int line = block.blockNumber() + 1;
        if (block.isVisible() && top + height >= event->rect().top()) {
            const bool fault = m_faults.contains(line);
            painter.setPen(fault ? QColor(190, 0, 0) : palette().color(QPalette::PlaceholderText));
            painter.drawText(0, top, m_margin->width() - 2 * digitWidth, height, Qt::AlignRight | Qt::AlignVCenter,
                             QString::number(line));
            if (fault)
                painter.drawText(m_margin->width() - 2 * digitWidth, top, 2 * digitWidth, height, Qt::AlignCenter,
                                 QStringLiteral("!"));
            else if (line == m_runningLine)
                painter.drawText(m_margin->width() - 2 * digitWidth, top, 2 * digitWidth, height, Qt::AlignCenter,
                                 QStringLiteral("\u25B6"));
        }
        block = block.next();
        top += height;
    }
}

int SequenceEditor::lineAtMargin(const QPoint &at) const
{
    for (QTextBlock block = firstVisibleBlock(); block.isValid(); block = block.next()) {
        const QRectF box = blockBoundingGeometry(block).translated(contentOffset());
        if (box.top() > at.y())
            break;
        if (at.y() < box.bottom())
            return block.blockNumber() + 1;
    }
    return 0;
}

bool SequenceEditor::event(QEvent *event)
{
    // A fault's text on hovering its line, in the margin or the text.
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const QPoint inViewport = viewport()->mapFrom(this, help->pos());
        const int line = help->pos().x() < marginWidth() ? lineAtMargin(help->pos())
                                                         : cursorForPosition(inViewport).blockNumber() + 1;
        if (m_faults.contains(line))
            QToolTip::showText(help->globalPos(), m_faults.value(line), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QPlainTextEdit::event(event);
}

} // namespace qle
