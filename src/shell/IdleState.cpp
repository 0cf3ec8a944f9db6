// The main window without a connection: the start page that says what
// happened to the last link and offers the next step, and the recorders
// opened on rows kept from a recording whose link was lost.
#include "DataForm.h"
#include "dialogs/dlgLan.h"
#include "MainMenu.h"
#include "MDIForm1.h"
#include "platform/Platform.h"
#include "platform/SettingsStore.h"
#include "recording/database/RecordDatabase.h"
#include "recording/graph/frmGraphicRecord.h"
#include "recording/table/frmDataTable.h"
#include "StartPage.h"

#include <QAction>
#include <QEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSqlDatabase>
#include <QTime>

namespace qle {

void MDIForm1::createStartPage()
{
    m_startPage = new StartPage(m_mdiArea->viewport());
    m_startPage->lower();
    m_mdiArea->viewport()->installEventFilter(this);
    connect(m_startPage, &StartPage::connectClicked, this, [this] { connectRemembered(); });
    connect(m_startPage, &StartPage::serialClicked, this, &MDIForm1::mnuRS232_Click);
    connect(m_startPage, &StartPage::gpibClicked, this, &MDIForm1::mnuGPIB_Click);
    connect(m_startPage, &StartPage::lanClicked, this, &MDIForm1::mnuLan_Click);
    connect(m_startPage, &StartPage::viewKeptClicked, this, &MDIForm1::viewKeptRows);
    m_linkEnd = {"No instrument is connected.", QString()};
}

QString MDIForm1::rememberedLinkText() const
{
    const ISettingsStore &store = platform::settings();
    const QString link = store.GetSetting("Common", "CommType", QString());
    const QString model = store.GetSetting("Common", "MType", QString());
    const QString instrument = model.isEmpty() ? QString() : model + " on ";
    if (link == QLatin1String("RS232")) {
        const QString device = store.GetSetting("RS232", "DevicePath", QString());
        if (device.isEmpty())
            return {};
        return instrument + device + " at " + QString::number(store.GetInt("RS232", "BaudRate", 9600, 1, 4000000)) +
               " baud";
    }
    if (link == QLatin1String("TCP")) {
        const std::optional<TcpAddress> address = dlgLan::stored();
        return address ? instrument + address->text() : QString();
    }
    if (link == QLatin1String("GPIB"))
        return instrument + "GPIB board " + QString::number(store.GetInt("GPIB", "GPIBn", 0, 0, 32767)) + ", address " +
               QString::number(store.GetInt("GPIB", "Address", 0, 0, 32767));
    return {};
}

void MDIForm1::noteLinkEnd(const QString &headline, const QString &detail)
{
    m_linkEnd = {headline, detail};
}

void MDIForm1::updateStartPage()
{
    if (!m_startPage)
        return;
    bool recorderShown = false;
    for (QWidget *recorder : {tableDataForm1.data(), waveForm1.data()})
        recorderShown =
            recorderShown || (recorder && recorder->parentWidget() && recorder->parentWidget()->isVisible());
    const bool idle = MainFormState == 0 && !OperatorForm && !recorderShown;
    if (idle) {
        setWindowTitle("QLE");
        RecordDatabase records(QSqlDatabase::database(DataForm::ConnectionName));
        qint64 kept = 0;
        if (!records.unsavedWorkingRows(&kept))
            kept = 0;
        m_startPage->showState({m_linkEnd.first, m_linkEnd.second, rememberedLinkText(), kept});
        m_startPage->setGeometry(m_mdiArea->viewport()->rect());
        // A window left at a panel's small size gets room for the page.
        if (m_mdiArea->viewport()->width() < m_startPage->minimumSizeHint().width() ||
            m_mdiArea->viewport()->height() < m_startPage->minimumSizeHint().height())
            resize(size().expandedTo(size() + m_startPage->minimumSizeHint() - m_mdiArea->viewport()->size()));
    }
    m_startPage->setVisible(idle);
}

bool MDIForm1::startPageEvent(QObject *watched, QEvent *event)
{
    if (m_startPage && watched == m_mdiArea->viewport() && event->type() == QEvent::Resize)
        m_startPage->setGeometry(m_mdiArea->viewport()->rect());
    return false;
}

// Kept rows are viewed and saved in the recorders, with no instrument: the
// table shows them first, the graph is a View menu item away.
void MDIForm1::viewKeptRows()
{
    if (MainFormState != 0)
        return;
    if (!tableRecorder()) {
        int channels = 1;
        if (!RecordDatabase(QSqlDatabase::database(DataForm::ConnectionName)).workingChannels(&channels))
            channels = 3;
        const auto last = static_cast<qint16>(channels - 1);
        NewTable1(last);
        NewWave1(last);
        if (frmDataTable *table = tableRecorder())
            showKeptRows(*table);
    }
    for (QAction *view : {m_menu->mnuControl, m_menu->mnuTableData, m_menu->mnuWave})
        view->setEnabled(true);
    mnuTableData_Click();
    updateStartPage();
}

} // namespace qle
