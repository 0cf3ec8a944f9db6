// Identification of the instrument's model and the family menus.
#include "DataForm.h"
#include "instrument/Instrument.h"
#include "MainMenu.h"
#include "MDIForm1.h"
#include "platform/MessageBox.h"
#include "platform/Platform.h"
#include "platform/Trace.h"
#include "protocol/ParseMachineType.h"

#include <QAction>
#include <QMenu>

namespace qle {
namespace {

enum Family { KMC, KMA, KMB, QLE, FamilyCount };

int familyOf(const QString &name)
{
    if (name.size() < 3)
        return -1;
    const QChar letter = name.at(2);
    if (letter == u'C' || letter == u'c')
        return KMC;
    if (letter == u'A' || letter == u'a')
        return KMA;
    if (letter == u'B' || letter == u'b')
        return KMB;
    if (letter == u'E' || letter == u'e')
        return QLE;
    return -1;
}

} // namespace

bool MDIForm1::SetupMenuMachineTypes()
{
    bool result = false;
    QList<QAction *> *items[FamilyCount] = {&m_menu->mnuKMCItem, &m_menu->mnuKMAItem, &m_menu->mnuKMBItem,
                                            &m_menu->mnuQLEItem};
    QMenu *menus[FamilyCount] = {m_menu->mnuKMC, m_menu->mnuKMA, m_menu->mnuKMB, m_menu->mnuQLE};
    const char *itemNames[FamilyCount] = {"mnuKMCItem", "mnuKMAItem", "mnuKMBItem", "mnuQLEItem"};
    int counters[FamilyCount] = {0, 0, 0, 0};

    for (const CatalogueRow &row : m_dataForm->MyRec()) {
        if (!row.offered())
            continue;
        const QString name = row.mtype();
        const int family = familyOf(name);
        if (family < 0)
            continue;
        QList<QAction *> &array = *items[family];
        const int k = counters[family];
        if (k > 0 && !m_menuItemsCreated) {
            QAction *item = menus[family]->addAction(QString());
            item->setObjectName(QString::fromLatin1(itemNames[family]));
            item->setCheckable(true);
            const int index = k;
            QList<QAction *> *list = items[family];
            connect(item, &QAction::triggered, this, [this, list, index, item](bool checked) {
                item->setChecked(!checked);
                familyItemClicked(*list, index);
            });
            array.append(item);
        }
        if (k < array.size()) {
            QAction *item = array.at(k);
            item->setText(name);
            item->setEnabled(true);
            const bool current = name == MachineType;
            item->setChecked(current);
            result = result || current;
        }
        counters[family] = k + 1;
    }

    if (!m_menuItemsCreated) {
        // Item 0 was there from the start; a family with no model keeps it
        // as a disabled placeholder.
        for (int family = 0; family < FamilyCount; ++family) {
            QAction *first = items[family]->first();
            if (counters[family] == 0) {
                first->setText("(none)");
                first->setEnabled(false);
            }
            QList<QAction *> *list = items[family];
            connect(first, &QAction::triggered, this, [this, list, first](bool checked) {
                first->setChecked(!checked);
                familyItemClicked(*list, 0);
            });
        }
    }
    m_menuItemsCreated = true;
    return result;
}

void MDIForm1::familyItemClicked(const QList<QAction *> &items, int index)
{
    if (index < 0 || index >= items.size())
        return;
    Setup("Menu", items.at(index)->text(), false);
}

void MDIForm1::mnuKMAItem_Click(int Index)
{
    familyItemClicked(m_menu->mnuKMAItem, Index);
}

void MDIForm1::mnuKMBItem_Click(int Index)
{
    familyItemClicked(m_menu->mnuKMBItem, Index);
}

void MDIForm1::mnuKMCItem_Click(int Index)
{
    familyItemClicked(m_menu->mnuKMCItem, Index);
}

void MDIForm1::mnuQLEItem_Click(int Index)
{
    familyItemClicked(m_menu->mnuQLEItem, Index);
}

void MDIForm1::BeginGetMachineType(const QString &aCommType, const QString &DefaultMachineType)
{
    ++m_connectionCount;
    m_connectionFailure.clear();
    m_engine->ResetTasks();
    m_engine->ResetTimeoutTask();
    m_menu->mnuGPIB->setEnabled(false);
    m_menu->mnuRS232->setEnabled(false);
    m_menu->mnuLan->setEnabled(false);
    MainFormState = 1;
    mainFormStateChanged();
    CommType = aCommType;
    if (CommType == QLatin1String("Menu")) {
        MachineType = DefaultMachineType;
        SetupMenuMachineTypes();
        OkGetMachineType();
        return;
    }
    if (isInstrumentLink()) {
        m_engine->CommType = CommType;
        m_engine->SetupTimeoutTask(this, "DevGetMachineTypeTimeout");
        m_engine->ExecQueryTask(m_commands.IdnCommand, 5, this, "DevSetupMachineType", 1, false);
        GetMachineTypeTimer.start();
    }
}

void MDIForm1::DevSetupMachineType(const QString &data)
{
    setStatusText(data);
    m_engine->ResetTimeoutTask();
    MachineType = ParseMachineType(data);
    m_instrument->setIdentity(data);
    m_engine->DevTimer.start();
}

void MDIForm1::DevSetupMachineType2()
{
    // A reply handed over after identification already ended (timed out or
    // reset in the meantime) starts nothing.
    if (MainFormState != 1)
        return;
    if (SetupMenuMachineTypes() || SetupMenuMachineTypes())
        OkGetMachineType();
    else
        FailGetMachineType();
}

void MDIForm1::OkGetMachineType()
{
    GetMachineTypeTimer.stop();
    setWindowTitle(MachineType);
    if (MachineType.contains(QLatin1String("QLE-5505")))
        m_commands.LoadLegacyCommands();
    else
        m_commands.LoadScpiCommands();
    MainFormState = 3;
    mainFormStateChanged();
    SetSettings();
    EndGetMachineType();
    if (!SetupLayout())
        return;
    SetupCommTasker();
    SetupToolBar();
    SetupMenu();
    const quint64 connection = m_connectionCount;
    const bool cancelled = QueryInitialValues();
    // A reset during the read (a script's DISC, a lost link) may have been
    // followed by a new connection at once: this one is over either way.
    if (connection != m_connectionCount)
        return;
    if (cancelled) {
        Trace("QueryInitialValues cancelled");
        m_connectionFailure = QStringLiteral("the initial read was cancelled");
        ResetAll();
        return;
    }
    // The initial reading may have ended in a time-out and a reset.
    Panel *panel = currentPanel();
    if (MainFormState != 3 || !panel)
        return;
    CheckOutput();
    panel->AfterQueryInitialValuesBeforeShow();
    applyPolling();
    panel->show();
    if (auto *sub = panel->parentWidget())
        sub->show();
    AdjustWindowSize();
    Trace("Q Ini OK");
}

void MDIForm1::FailGetMachineType()
{
    GetMachineTypeTimer.stop();
    // Identification has ended before the box opens: a reply that arrives
    // while it is shown opens no panel, and the engine's own time-out of the
    // same question shows no second box.
    MainFormState = 0;
    m_connectionFailure = QStringLiteral("no answer to *IDN? from a known model");
    mainFormStateChanged();
    m_engine->DevTimer.stop();
    m_engine->ResetTasks();
    m_engine->ResetTimeoutTask();
    platform::messageBox().show("Querying the machine type is timeout!", QString(), IMessageBox::Buttons::Ok,
                                IMessageBox::Icon::None);
    ResetAll();
    EndGetMachineType();
}

void MDIForm1::EndGetMachineType()
{
    m_menu->mnuGPIB->setEnabled(true);
    m_menu->mnuRS232->setEnabled(true);
    m_engine->ResetTasks();
    m_engine->ResetTimeoutTask();
}

void MDIForm1::onGetMachineTypeTimer()
{
    GetMachineTypeTimer.stop();
    FailGetMachineType();
}

void MDIForm1::DevGetMachineTypeTimeout()
{
    FailGetMachineType();
    setStatusText("Timeout!");
}

} // namespace qle
