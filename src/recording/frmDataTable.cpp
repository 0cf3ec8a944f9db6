#include "frmDataTable.h"

namespace qle {

frmDataTable::frmDataTable(QWidget *parent) : QWidget(parent)
{
    setObjectName("frmDataTable");
    setWindowTitle("Tabular Data");
}

} // namespace qle
