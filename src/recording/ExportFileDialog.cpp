#include "ExportFileDialog.h"

#include "platform/widgets/ModalRunner.h"

#include <QFileDialog>

namespace qle {
namespace {

class WidgetFileDialogs final : public IFileDialogs {
public:
    QString saveFileName(QWidget *parent, const QString &folder, const QString &filter) override
    {
        QFileDialog dialog(parent, QString(), folder, filter);
        dialog.setObjectName("Dialog1");
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(QStringLiteral("csv"));
        if (platform::modalRunner().exec(dialog) != QDialog::Accepted)
            return {};
        return dialog.selectedFiles().value(0);
    }
};

WidgetFileDialogs s_widgetDialogs;
IFileDialogs *s_dialogs = nullptr;

} // namespace

namespace recording {

IFileDialogs &fileDialogs()
{
    return s_dialogs ? *s_dialogs : s_widgetDialogs;
}

void setFileDialogs(IFileDialogs *dialogs)
{
    s_dialogs = dialogs;
}

} // namespace recording
} // namespace qle
