#pragma once

#include <QString>
#include <QStringList>

namespace qle {

// What the command line tells the main window.
struct ShellOptions {
    QString dataFolder;        // resolved folder holding mtype.mdb
    QString shippedCatalogue;  // used to rebuild a catalogue SQLite cannot read
    QStringList serialDevices; // extra device paths offered as serial ports
    // Started to connect or to take script commands by itself: nothing at
    // start may wait for an answer from someone at the screen.
    bool unattended = false;
};

} // namespace qle
