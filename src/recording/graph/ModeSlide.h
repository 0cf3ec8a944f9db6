#pragma once

#include <QStringList>
#include <QWidget>

class QSlider;

namespace qle {

// A pointer over a short column of named positions, top to bottom; a click
// on a name moves the pointer there.
class ModeSlide final : public QWidget {
    Q_OBJECT
public:
    ModeSlide(const QStringList &positions, QWidget *parent = nullptr);

    [[nodiscard]] int value() const;
    void setValue(int position);
    [[nodiscard]] QStringList positions() const { return m_positions; }
    [[nodiscard]] QSlider *slider() const { return m_slider; }

signals:
    void pointerValueChanged(int position);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QStringList m_positions;
    QSlider *m_slider;
};

} // namespace qle
