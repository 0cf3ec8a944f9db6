// The View and Help menus: which child window is shown, the toolbar and
// status bar, the about box.
#include "dialogs/frmAbout.h"
#include "MainMenu.h"
#include "MainToolbar.h"
#include "MDIForm1.h"

#include <QAction>
#include <QApplication>
#include <QMdiSubWindow>
#include <QStatusBar>
#include <QToolBar>

namespace qle {
namespace {

QMdiSubWindow *frameOf(QWidget *child)
{
    return child ? qobject_cast<QMdiSubWindow *>(child->parentWidget()) : nullptr;
}

void showFrame(QWidget *child, bool maximized)
{
    if (QMdiSubWindow *frame = frameOf(child)) {
        child->show();
        if (maximized)
            frame->showMaximized();
        else
            frame->show();
        frame->raise();
        frame->setFocus();
    }
}

void hideFrame(QWidget *child)
{
    if (QMdiSubWindow *frame = frameOf(child))
        frame->hide();
}

} // namespace

void MDIForm1::mnuControl_Click()
{
    showFrame(OperatorForm, false);
    hideFrame(waveForm1);
    hideFrame(tableDataForm1);
    AdjustWindowSize();
    updateStartPage();
}

void MDIForm1::mnuWave_Click()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    hideFrame(tableDataForm1);
    hideFrame(OperatorForm);
    showFrame(waveForm1, true);
    AdjustWindowSize();
    QApplication::restoreOverrideCursor();
}

void MDIForm1::mnuTableData_Click()
{
    hideFrame(waveForm1);
    hideFrame(OperatorForm);
    showFrame(tableDataForm1, true);
    AdjustWindowSize();
}

void MDIForm1::mnuToolbar_Click()
{
    const bool shown = m_menu->mnuToolbar->isChecked();
    m_toolbar->bar()->setVisible(!shown);
    m_menu->mnuToolbar->setChecked(!shown);
    AdjustWindowSize();
}

void MDIForm1::mnuStatusbar_Click()
{
    const bool shown = m_menu->mnuStatusbar->isChecked();
    statusBar()->setVisible(!shown);
    m_menu->mnuStatusbar->setChecked(!shown);
    AdjustWindowSize();
}

void MDIForm1::mnuAboutKMAx_Click()
{
    frmAbout about(this);
    about.Execute();
}

} // namespace qle
