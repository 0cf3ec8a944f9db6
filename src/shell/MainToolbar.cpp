#include "MainToolbar.h"

#include <QAction>
#include <QIcon>
#include <QToolBar>

namespace qle {
namespace {

struct ToolbarButton {
    const char *key;
    const char *tip;
    const char *icon;
    bool separatorBefore;
};

const ToolbarButton kButtons[] = {
    {"GPIB", "GPIB", "gpib", false},
    {"RS232", "RS232", "rs232", false},
    {"OnOffLine", "Off line", "offline", false},
    {"SaveMemory", "Save Memory", "save-memory", true},
    {"RecallMemory", "Recall Memory", "recall-memory", false},
    {"Delay", "Delay", "delay", true},
    {"ReadTimes", "Read Times", "read-times", false},
    {"Output", "Output", "output", true},
    {"AutoRun", "Auto Run", "auto-run", false},
    {"ClearError", "Clear Error", "clear-error", false},
    {"About", "About", "about", true},
};

QIcon iconFor(const char *name)
{
    return QIcon(QStringLiteral(":/toolbar/") + QLatin1String(name) + QStringLiteral(".svg"));
}

} // namespace

const QStringList &MainToolbar::keys()
{
    static const QStringList list = [] {
        QStringList k;
        for (const ToolbarButton &entry : kButtons)
            k.append(QString::fromLatin1(entry.key));
        return k;
    }();
    return list;
}

MainToolbar::MainToolbar(QToolBar *bar, QObject *parent) : QObject(parent), m_bar(bar)
{
    m_bar->setObjectName("Toolbar1");
    m_bar->setMovable(false);
    for (const ToolbarButton &entry : kButtons) {
        if (entry.separatorBefore)
            m_bar->addSeparator();
        const QString key = QString::fromLatin1(entry.key);
        QAction *action = m_bar->addAction(iconFor(entry.icon), QString::fromLatin1(entry.tip));
        action->setObjectName(key);
        action->setToolTip(QString::fromLatin1(entry.tip));
        action->setCheckable(key == "OnOffLine" || key == "Output" || key == "AutoRun");
        connect(action, &QAction::triggered, this, [this, key, action](bool) {
            // The program decides the pressed look after the click is handled.
            if (action->isCheckable())
                action->setChecked(!action->isChecked());
            emit ButtonClick(key);
        });
        m_buttons.insert(key, action);
    }
    m_live = new QAction(iconFor("live"), QStringLiteral("Live"), this);
    m_live->setObjectName("Live");
    m_live->setToolTip(QStringLiteral("Live: every reading and the instrument's state, refreshed each period"));
    m_live->setCheckable(true);
    m_bar->insertAction(m_buttons.value("AutoRun"), m_live);
    connect(m_live, &QAction::triggered, this, [this](bool) {
        m_live->setChecked(!m_live->isChecked());
        emit LiveClicked();
    });
    // At the end, outside the buttons' phases: the terminal opens at any time.
    m_bar->addSeparator();
    m_terminal = m_bar->addAction(iconFor("terminal"), QStringLiteral("Terminal"));
    m_terminal->setObjectName("Terminal");
    m_terminal->setToolTip(QStringLiteral("Terminal: send lines to the instrument"));
    connect(m_terminal, &QAction::triggered, this, &MainToolbar::TerminalClicked);
}

void MainToolbar::setAll(bool enabled)
{
    for (QAction *action : std::as_const(m_buttons))
        action->setEnabled(enabled);
}

void MainToolbar::setEnabled(const QString &key, bool enabled)
{
    if (QAction *action = m_buttons.value(key))
        action->setEnabled(enabled);
}

bool MainToolbar::isEnabled(const QString &key) const
{
    const QAction *action = m_buttons.value(key);
    return action && action->isEnabled();
}

void MainToolbar::setPressed(const QString &key, bool pressed)
{
    if (QAction *action = m_buttons.value(key))
        action->setChecked(pressed);
}

bool MainToolbar::isPressed(const QString &key) const
{
    const QAction *action = m_buttons.value(key);
    return action && action->isChecked();
}

void MainToolbar::setOnLineLook(bool onLine)
{
    QAction *button = m_buttons.value("OnOffLine");
    button->setChecked(!onLine);
    button->setIcon(iconFor(onLine ? "online" : "offline"));
    button->setToolTip(onLine ? "On line" : "Off line");
    button->setText(onLine ? "On line" : "Off line");
}

void MainToolbar::ResetToolbar()
{
    setAll(false);
    for (const char *key : {"GPIB", "RS232", "OnOffLine", "About"})
        setEnabled(key, true);
    setOnLineLook(false);
}

void MainToolbar::ResetToolBarLayout1()
{
    setAll(true);
    setOnLineLook(false);
}

void MainToolbar::ResetToolBarLayout2()
{
    setAll(false);
    for (const char *key : {"GPIB", "RS232", "OnOffLine", "About", "Output", "ClearError"})
        setEnabled(key, true);
    setOnLineLook(false);
}

void MainToolbar::ResetToolBarLayout3()
{
    setAll(false);
    for (const char *key : {"RS232", "OnOffLine", "About", "Output"})
        setEnabled(key, true);
    setOnLineLook(false);
}

void MainToolbar::SetupToolBar(int layoutType, bool realLink)
{
    if (layoutType == 1) {
        setAll(true);
    } else if (layoutType == 2) {
        setAll(true);
        for (const char *key : {"SaveMemory", "RecallMemory", "Delay", "ReadTimes", "AutoRun"})
            setEnabled(key, false);
    }
    for (QAction *action : std::as_const(m_buttons))
        action->setChecked(false);
    setOnLineLook(realLink);
}

} // namespace qle
