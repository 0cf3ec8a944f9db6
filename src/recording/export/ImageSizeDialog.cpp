#include "ImageSizeDialog.h"

#include "platform/widgets/ModalRunner.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QSpinBox>

namespace qle {
namespace {

constexpr int SmallestSide = 100;
constexpr int LargestSide = 10000;

QSpinBox *sideBox(QWidget *parent, const char *name, int value)
{
    auto *box = new QSpinBox(parent);
    box->setObjectName(name);
    box->setRange(SmallestSide, LargestSide);
    box->setSuffix(QStringLiteral(" px"));
    box->setValue(value);
    return box;
}

} // namespace

std::optional<QSize> askImageSize(QSize offered, QWidget *parent)
{
    QDialog dialog(parent);
    dialog.setObjectName("dlgImageSize");
    dialog.setWindowTitle("Image Size");
    QSpinBox *width = sideBox(&dialog, "txtWidth", offered.width());
    QSpinBox *height = sideBox(&dialog, "txtHeight", offered.height());
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto *form = new QFormLayout(&dialog);
    form->addRow("Width:", width);
    form->addRow("Height:", height);
    form->addRow(buttons);
    if (platform::modalRunner().exec(dialog) != QDialog::Accepted)
        return std::nullopt;
    width->interpretText();
    height->interpretText();
    return QSize(width->value(), height->value());
}

} // namespace qle
