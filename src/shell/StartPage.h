#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace qle {

// What the main window shows while no instrument is connected: what
// happened to the last link, a way to connect again, and the rows of a
// recording that were kept unsaved.
class StartPage final : public QWidget {
    Q_OBJECT
public:
    struct State {
        QString headline;       // "No instrument is connected." or what ended the last link
        QString detail;         // the cause, when one is known
        QString rememberedLink; // "the serial port /dev/ttyUSB0 at 9600 baud"; empty: none
        qint64 keptRows = 0;    // unsaved rows in the working table
    };

    explicit StartPage(QWidget *parent = nullptr);

    void showState(const State &state);

    QLabel *lblHeadline;
    QLabel *lblDetail;
    QLabel *lblKept;
    QPushButton *cmdConnect;
    QPushButton *cmdSerial;
    QPushButton *cmdGpib;
    QPushButton *cmdLan;
    QPushButton *cmdViewKept;

signals:
    void connectClicked();
    void serialClicked();
    void gpibClicked();
    void lanClicked();
    void viewKeptClicked();
};

} // namespace qle
