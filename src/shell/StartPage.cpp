#include "StartPage.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace qle {

StartPage::StartPage(QWidget *parent)
    : QWidget(parent), lblHeadline(new QLabel(this)), lblDetail(new QLabel(this)), lblKept(new QLabel(this)),
      cmdConnect(new QPushButton(this)), cmdSerial(new QPushButton("Serial port (RS232)...", this)),
      cmdGpib(new QPushButton("GPIB...", this)), cmdLan(new QPushButton("LAN (TCP)...", this)),
      cmdViewKept(new QPushButton("View and save them...", this))
{
    setObjectName("StartPage");
    lblHeadline->setObjectName("lblHeadline");
    lblDetail->setObjectName("lblDetail");
    lblKept->setObjectName("lblKept");
    cmdConnect->setObjectName("cmdConnect");
    cmdSerial->setObjectName("cmdSerial");
    cmdGpib->setObjectName("cmdGpib");
    cmdLan->setObjectName("cmdLan");
    cmdViewKept->setObjectName("cmdViewKept");
    QFont big = lblHeadline->font();
    big.setPointSizeF(big.pointSizeF() * 1.4);
    big.setBold(true);
    lblHeadline->setFont(big);
    for (QLabel *label : {lblHeadline, lblDetail, lblKept}) {
        label->setWordWrap(true);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }

    auto *links = new QHBoxLayout;
    links->addWidget(cmdSerial);
    links->addWidget(cmdGpib);
    links->addWidget(cmdLan);
    links->addStretch(1);
    auto *kept = new QHBoxLayout;
    kept->addWidget(lblKept, 1);
    kept->addWidget(cmdViewKept);

    auto *column = new QVBoxLayout;
    column->addWidget(lblHeadline);
    column->addWidget(lblDetail);
    column->addSpacing(lblHeadline->fontMetrics().height());
    column->addWidget(cmdConnect, 0, Qt::AlignLeft);
    column->addWidget(new QLabel("Or choose a link:", this));
    column->addLayout(links);
    column->addSpacing(lblHeadline->fontMetrics().height());
    column->addLayout(kept);
    column->addStretch(1);
    auto *outer = new QHBoxLayout(this);
    outer->addStretch(1);
    outer->addLayout(column, 4);
    outer->addStretch(1);
    outer->setContentsMargins(24, 32, 24, 24);

    connect(cmdConnect, &QPushButton::clicked, this, &StartPage::connectClicked);
    connect(cmdSerial, &QPushButton::clicked, this, &StartPage::serialClicked);
    connect(cmdGpib, &QPushButton::clicked, this, &StartPage::gpibClicked);
    connect(cmdLan, &QPushButton::clicked, this, &StartPage::lanClicked);
    connect(cmdViewKept, &QPushButton::clicked, this, &StartPage::viewKeptClicked);
}

void StartPage::showState(const State &state)
{
    lblHeadline->setText(state.headline);
    lblDetail->setText(state.detail);
    lblDetail->setVisible(!state.detail.isEmpty());
    cmdConnect->setText("Connect to " + state.rememberedLink);
    cmdConnect->setVisible(!state.rememberedLink.isEmpty());
    lblKept->setText(QString::number(state.keptRows) +
                     " unsaved rows kept from the last recording. They can be viewed and saved without an "
                     "instrument.");
    lblKept->setVisible(state.keptRows > 0);
    cmdViewKept->setVisible(state.keptRows > 0);
}

} // namespace qle
