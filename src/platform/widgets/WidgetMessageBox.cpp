#include "WidgetMessageBox.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace qle {
namespace {

QMessageBox::Icon toIcon(IMessageBox::Icon icon)
{
    switch (icon) {
    case IMessageBox::Icon::Information:
        return QMessageBox::Information;
    case IMessageBox::Icon::Critical:
        return QMessageBox::Critical;
    case IMessageBox::Icon::Question:
        return QMessageBox::Question;
    case IMessageBox::Icon::Exclamation:
        return QMessageBox::Warning;
    case IMessageBox::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons toButtons(IMessageBox::Buttons buttons)
{
    switch (buttons) {
    case IMessageBox::Buttons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case IMessageBox::Buttons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case IMessageBox::Buttons::Ok:
        break;
    }
    return QMessageBox::Ok;
}

} // namespace

IMessageBox::Answer WidgetMessageBox::show(const QString &text, const QString &title, Buttons buttons, Icon icon)
{
    // A box without a title shows the program's name, as desktop programs do.
    const QString caption = title.isEmpty() ? QCoreApplication::applicationName() : title;
    QMessageBox box(toIcon(icon), caption, text, toButtons(buttons), m_parent);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    case QMessageBox::Cancel:
        return Answer::Cancel;
    default:
        // Closing a Yes/No box with the window button counts as No.
        return buttons == Buttons::YesNo ? Answer::No : Answer::Ok;
    }
}

} // namespace qle
