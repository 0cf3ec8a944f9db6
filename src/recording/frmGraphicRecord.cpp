#include "frmGraphicRecord.h"

#include <QLineEdit>

namespace qle {

frmGraphicRecord::frmGraphicRecord(QWidget *parent) : QWidget(parent), txtChannels(new QLineEdit(this))
{
    setObjectName("frmGraphicRecord");
    setWindowTitle("Wave");
    txtChannels->setObjectName("txtChannels");
    txtChannels->hide();
}

} // namespace qle
