#pragma once

#include <QHash>
#include <QObject>
#include <QString>

class QAction;
class QToolBar;

namespace qle {

// The main window's toolbar: buttons by key, in groups, with the enabled
// states of each phase and the on-line button's two looks.
class MainToolbar final : public QObject {
    Q_OBJECT
public:
    explicit MainToolbar(QToolBar *bar, QObject *parent = nullptr);

    void ResetToolbar();
    void ResetToolBarLayout1();
    void ResetToolBarLayout2();
    void ResetToolBarLayout3();
    // After the layout is active: enabled states, all released, on-line look.
    void SetupToolBar(int layoutType, bool realLink);

    [[nodiscard]] QAction *button(const QString &key) const { return m_buttons.value(key); }
    void setPressed(const QString &key, bool pressed);
    [[nodiscard]] bool isPressed(const QString &key) const;
    void setEnabled(const QString &key, bool enabled);
    [[nodiscard]] bool isEnabled(const QString &key) const;
    // Pressed with picture 3 and "Off line", or released with picture 12 and "On line".
    void setOnLineLook(bool onLine);
    [[nodiscard]] QToolBar *bar() const { return m_bar; }
    // "Live", beside Output: pressed while Live polling is chosen. Not one of
    // the phase buttons above; it is always usable.
    [[nodiscard]] QAction *liveButton() const { return m_live; }
    [[nodiscard]] QAction *terminalButton() const { return m_terminal; }

    static const QStringList &keys();

signals:
    void ButtonClick(const QString &key);
    void LiveClicked();
    void TerminalClicked();

private:
    void setAll(bool enabled);

    QToolBar *m_bar;
    QHash<QString, QAction *> m_buttons;
    QAction *m_live = nullptr;
    QAction *m_terminal = nullptr;
};

} // namespace qle
