#include "ExportFileDialog.h"

#include "platform/widgets/ModalRunner.h"

#include <QFileDialog>

namespace qle {

QString IFileDialogs::openFileName(QWidget *parent, const QString &folder, const QString &filter)
{
    QFileDialog dialog(parent, QString(), folder, filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (platform::modalRunner().exec(dialog) != QDialog::Accepted)
        return {};
    return dialog.selectedFiles().value(0);
}

namespace {

class WidgetFileDialogs final : public IFileDialogs {
public:
    QString saveFileName(QWidget *parent, const QString &folder, const QString &filter, QString *chosenFilter) override
    {
        QFileDialog dialog(parent, QString(), folder, filter);
        dialog.setObjectName("Dialog1");
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        // The suffix of the filter's first pattern, as "csv" of "(*.csv)".
        const qsizetype star = filter.indexOf(QLatin1String("*."));
        dialog.setDefaultSuffix(star < 0 ? QString() : filter.mid(star + 2).section(u')', 0, 0).section(u' ', 0, 0));
        if (platform::modalRunner().exec(dialog) != QDialog::Accepted)
            return {};
        if (chosenFilter)
            *chosenFilter = dialog.selectedNameFilter();
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
