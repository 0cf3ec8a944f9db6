#include "dlgRecordLength.h"

#include "recording/graph/ColorPicker.h"
#include "platform/MessageBox.h"
#include "platform/Platform.h"
#include "platform/SettingsStore.h"
#include "platform/widgets/ModalRunner.h"
#include "recording/database/SampleInterval.h"

#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <optional>

namespace qle {
namespace {

QStringList numbers(int first, int last, int step)
{
    QStringList result;
    for (int n = first; n <= last; n += step)
        result.append(QString::number(n));
    return result;
}

// The short sample intervals allow only a few days of recording.
struct DayLimit {
    int maxDay;
    const char *text;
};

std::optional<DayLimit> dayLimit(int scalePosition)
{
    switch (scalePosition) {
    case 0:
        return DayLimit{0, "The Max. Record Time Lenth must less than 8.9 Hours !"};
    case 1:
        return DayLimit{0, "The Max. Record Time Lenth must less than 17.8 Hours !"};
    case 2:
        return DayLimit{1, "The Max. Record Time Lenth must less than 1.8 day !"};
    case 3:
        return DayLimit{3, "The Max. Record Time Lenth must less than 3.8 day !"};
    default:
        return std::nullopt;
    }
}

const char *const ColorKeys[3] = {"Ch1Color", "Ch2Color", "Ch3Color"};

} // namespace

dlgRecordLength::dlgRecordLength(QWidget *parent) : QDialog(parent)
{
    setObjectName("dlgRecordLength");
    setWindowTitle("Dialog Record Time Length");

    auto *grid = new QGridLayout;
    m_days = addList(grid, 0, "cmbDays", "Days:", numbers(0, 7, 1));
    m_hours = addList(grid, 1, "cmbHours", "Hours:", numbers(0, 23, 1));
    m_minutes = addList(grid, 2, "cmbMinuites", "Miniutes:", numbers(0, 59, 1));
    m_seconds = addList(grid, 3, "cmbSeconds", "Seconds:", numbers(0, 55, 5));
    m_scale = addList(grid, 4, "cmdScale", "Scale:", sampleinterval::labels());
    m_operation = addList(grid, 5, "cmdOperation", "Point Operation:", {"Maximum", "Minimum", "Average"});
    for (int ch = 0; ch < 3; ++ch) {
        const QString n = QString::number(ch + 1);
        auto *label = new QLabel("Ch" + n + " Color:", this);
        label->setObjectName("lblCh" + n + "Color");
        m_colorText[ch] = new QLineEdit(this);
        m_colorText[ch]->setObjectName("txtCh" + n + "Color");
        m_colorText[ch]->setReadOnly(true);
        m_colorText[ch]->installEventFilter(this);
        m_swatch[ch] = new QLabel(this);
        m_swatch[ch]->setObjectName("Picture" + n);
        m_swatch[ch]->setFixedSize(40, 20);
        m_swatch[ch]->setAutoFillBackground(true);
        m_swatch[ch]->setFrameShape(QFrame::Box);
        setSwatch(ch, colorFromDecimal(QString::number(DefaultColors[ch])));
        grid->addWidget(label, 6 + ch, 0);
        grid->addWidget(m_colorText[ch], 6 + ch, 1);
        grid->addWidget(m_swatch[ch], 6 + ch, 2);
    }

    auto *ok = new QPushButton("OK", this);
    ok->setObjectName("OKButton");
    ok->setDefault(true);
    auto *cancel = new QPushButton("Cancel", this);
    cancel->setObjectName("CancelButton");
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(ok, &QPushButton::clicked, this, &dlgRecordLength::OKButton_Click);
    connect(cancel, &QPushButton::clicked, this, &dlgRecordLength::CancelButton_Click);
    connect(m_scale, &QComboBox::currentIndexChanged, this, &dlgRecordLength::cmdScale_Click);
    cmdScale_Click();
}

QComboBox *dlgRecordLength::addList(QGridLayout *grid, int row, const QString &name, const QString &label,
                                    const QStringList &entries)
{
    auto *caption = new QLabel(label, this);
    caption->setObjectName(name + "Label");
    auto *list = new QComboBox(this);
    list->setObjectName(name);
    list->addItems(entries);
    list->setCurrentIndex(0);
    // A list popup of bounded height: some styles open one as tall as the
    // entries (60 minutes) and cover the screen.
    list->setMaxVisibleItems(MaxVisibleEntries);
    list->setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
    grid->addWidget(caption, row, 0);
    grid->addWidget(list, row, 1, 1, 2);
    return list;
}

bool dlgRecordLength::Execute()
{
    GetSettings();
    m_days->setCurrentIndex(Days);
    m_hours->setCurrentIndex(Hours);
    m_minutes->setCurrentIndex(Miniutes);
    m_seconds->setCurrentIndex(Seconds / 5);
    m_scale->setCurrentIndex(RecScale);
    m_operation->setCurrentIndex(RecPointStyle);
    cmdScale_Click();
    for (int ch = 0; ch < 3; ++ch) {
        QString &member = colorMember(ch);
        if (member.trimmed().isEmpty()) {
            member = colorToDecimal(swatchColor(ch));
            m_colorText[ch]->setText(member);
        } else {
            m_colorText[ch]->setText(member);
            setSwatch(ch, colorFromDecimal(member));
        }
    }
    // Cancel leaves the colours as they were read, whatever was picked meanwhile.
    const std::array<QString, 3> colours{Ch1Color, Ch2Color, Ch3Color};
    const std::array<QColor, 3> swatches{swatchColor(0), swatchColor(1), swatchColor(2)};

    // Only OK sets the result; the window's close button counts as Cancel.
    m_result = false;
    platform::modalRunner().exec(*this);
    if (m_result) {
        Days = m_days->currentIndex();
        Hours = m_hours->currentIndex();
        Miniutes = m_minutes->currentIndex();
        Seconds = m_seconds->currentIndex() * 5;
        RecScale = m_scale->currentIndex();
        RecPointStyle = m_operation->currentIndex();
        SetSettings();
    } else {
        for (int ch = 0; ch < 3; ++ch) {
            colorMember(ch) = colours[ch];
            m_colorText[ch]->setText(colours[ch]);
            setSwatch(ch, swatches[ch]);
        }
    }
    return m_result;
}

void dlgRecordLength::GetSettings()
{
    const ISettingsStore &store = platform::settings();
    // Hand-edited values outside a list are taken as its nearest entry.
    Days = store.GetInt(Section, "Days", 0, 0, 7);
    Hours = store.GetInt(Section, "Hours", 0, 0, 23);
    Miniutes = store.GetInt(Section, "Miniutes", 0, 0, 59);
    Seconds = store.GetInt(Section, "Seconds", 0, 0, 55);
    RecScale = store.GetInt(Section, "RecScale", 0, 0, sampleinterval::PositionCount - 1);
    RecPointStyle = store.GetInt(Section, "RecPointStyle", 0, 0, 2);
    for (int ch = 0; ch < 3; ++ch)
        colorMember(ch) = store.GetSetting(Section, ColorKeys[ch], QString());
}

void dlgRecordLength::SetSettings()
{
    ISettingsStore &store = platform::settings();
    store.SaveInt(Section, "Days", Days);
    store.SaveInt(Section, "Hours", Hours);
    store.SaveInt(Section, "Miniutes", Miniutes);
    store.SaveInt(Section, "Seconds", Seconds);
    store.SaveInt(Section, "RecScale", RecScale);
    store.SaveInt(Section, "RecPointStyle", RecPointStyle);
    for (int ch = 0; ch < 3; ++ch)
        store.SaveSetting(Section, ColorKeys[ch], colorMember(ch));
}

QString dlgRecordLength::txtCh1Color() const
{
    return m_colorText[0]->text();
}

QString dlgRecordLength::txtCh2Color() const
{
    return m_colorText[1]->text();
}

QString dlgRecordLength::txtCh3Color() const
{
    return m_colorText[2]->text();
}

QColor dlgRecordLength::swatchColor(int channel) const
{
    return m_swatch.at(static_cast<std::size_t>(channel))->palette().color(QPalette::Window);
}

QString dlgRecordLength::lengthRefusal(int days, int scalePosition)
{
    const std::optional<DayLimit> limit = dayLimit(scalePosition);
    return limit && days > limit->maxDay ? QString::fromLatin1(limit->text) : QString();
}

void dlgRecordLength::OKButton_Click()
{
    const std::optional<DayLimit> limit = dayLimit(m_scale->currentIndex());
    if (limit && m_days->currentIndex() > limit->maxDay) {
        const auto answer = platform::messageBox().show(
            QString::fromLatin1(limit->text) + "\r\n" + "Choose <Cancle> to change other setting!", QString(),
            IMessageBox::Buttons::OkCancel, IMessageBox::Icon::Information);
        if (answer != IMessageBox::Answer::Ok)
            return;
        m_days->setCurrentIndex(limit->maxDay);
    }
    m_result = true;
    accept();
}

void dlgRecordLength::CancelButton_Click()
{
    m_result = false;
    reject();
}

// A point of "1 second" is the reading itself: nothing to choose.
void dlgRecordLength::cmdScale_Click()
{
    m_operation->setEnabled(m_scale->currentIndex() != 0);
}

bool dlgRecordLength::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn) {
        // Focus coming back when the picker closes, or the dialog being
        // activated, must not open the picker again.
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        const bool byUser = reason == Qt::MouseFocusReason || reason == Qt::TabFocusReason ||
                            reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason;
        for (int ch = 0; ch < 3 && byUser; ++ch) {
            if (watched == m_colorText[ch])
                pickColor(ch);
        }
    }
    return QDialog::eventFilter(watched, event);
}

void dlgRecordLength::pickColor(int channel)
{
    const QColor chosen = recording::colorPicker().pick(swatchColor(channel), this);
    m_colorText[channel]->setText(colorToDecimal(chosen));
    setSwatch(channel, chosen);
    colorMember(channel) = m_colorText[channel]->text();
}

void dlgRecordLength::setSwatch(int channel, const QColor &color)
{
    QLabel *swatch = m_swatch.at(static_cast<std::size_t>(channel));
    QPalette palette = swatch->palette();
    palette.setColor(QPalette::Window, color);
    swatch->setPalette(palette);
}

QString &dlgRecordLength::colorMember(int channel)
{
    return channel == 0 ? Ch1Color : (channel == 1 ? Ch2Color : Ch3Color);
}

} // namespace qle
