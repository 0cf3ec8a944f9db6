#pragma once

#include <QString>
#include <QStringList>

namespace qle {

// What the command line tells the main window.
struct ShellOptions {
    QString dataFolder;        // resolved folder holding mtype.mdb
    QString shippedCatalogue;  // used to rebuild a catalogue SQLite cannot read
    QStringList serialDevices; // extra device paths offered as serial ports
};

} // namespace qle
