#pragma once

#include <QList>
#include <QMap>
#include <QPlainTextEdit>

namespace qle {

// A plain-text editor for sequence files: line numbers in a margin, the
// lines the check found faults in marked there, and the line a run is on
// highlighted.
class SequenceEditor final : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit SequenceEditor(QWidget *parent = nullptr);

    // Faults by line (1-based); the margin marks them and their text is the
    // tooltip of the line's number.
    void setFaults(const QMap<int, QString> &faults);
    [[nodiscard]] const QMap<int, QString> &faults() const { return m_faults; }
    // The line a run is on (1-based); 0 for none.
    void setRunningLine(int line);
    [[nodiscard]] int runningLine() const { return m_runningLine; }
    [[nodiscard]] int marginWidth() const;
    void paintMargin(QPaintEvent *event);

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool event(QEvent *event) override;

private:
    void updateMargin(const QRect &rect, int dy);
    void updateHighlights();
    [[nodiscard]] int lineAtMargin(const QPoint &at) const;

    QWidget *m_margin;
    QMap<int, QString> m_faults;
    int m_runningLine = 0;
};

} // namespace qle
