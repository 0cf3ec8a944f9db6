#include "dlgGPIB.h"

#include "platform/Platform.h"
#include "platform/SettingsStore.h"

#include <QComboBox>
#include <QGridLayout>

namespace qle {
namespace {

const QString Section = QStringLiteral("GPIB");

} // namespace

dlgGPIB::dlgGPIB(QWidget *parent)
    : SettingsDialog(parent), m_cmbGPIBn(addList(0, "cmbGPIBn", MaxBoard, "lblGPIBn", "GPIBn:")),
      m_cmbAddress(addList(1, "cmbAddress", MaxAddress, "lblAddress", "Address"))
{
    setWindowTitle("Dialog Caption");
}

QComboBox *dlgGPIB::addList(int row, const QString &name, int max, const QString &labelName, const QString &labelText)
{
    addLabel(row, 0, labelName, labelText);
    auto *list = new QComboBox(this);
    list->setObjectName(name);
    for (int n = 0; n <= max; ++n)
        list->addItem(QString::number(n));
    fields()->addWidget(list, row, 1);
    takesFirstFocus(list);
    return list;
}

bool dlgGPIB::Execute(bool IsDirect)
{
    GetSettings();
    m_cmbGPIBn->setCurrentIndex(m_gpibn);
    m_cmbAddress->setCurrentIndex(m_address);
    if (!IsDirect && !runModal())
        return false;
    m_gpibn = m_cmbGPIBn->currentIndex();
    m_address = m_cmbAddress->currentIndex();
    SetSettings();
    return true;
}

void dlgGPIB::GetSettings()
{
    const ISettingsStore &store = platform::settings();
    m_gpibn = store.GetInt(Section, "GPIBn", 0, 0, MaxBoard);
    m_address = store.GetInt(Section, "Address", 0, 0, MaxAddress);
}

void dlgGPIB::SetSettings()
{
    ISettingsStore &store = platform::settings();
    store.SaveInt(Section, "GPIBn", m_gpibn);
    store.SaveInt(Section, "Address", m_address);
}

} // namespace qle
