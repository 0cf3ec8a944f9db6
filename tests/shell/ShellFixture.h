#pragma once

#include "dialogs/dlgConfigRS232.h"
#include "ScriptedInstrument.h"
#include "ScriptedMessageBox.h"
#include "ScriptedModalRunner.h"
#include "shell/MDIForm1.h"

#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace qle::testing {

// A main window on a private settings store and data folder, with scripted
// message boxes and dialogs.
struct ShellFixture {
    ShellFixture()
    {
        QFile::copy(QStringLiteral(QLE_SHIPPED_CATALOGUE), data.filePath("mtype.mdb"));
        QFile::setPermissions(data.filePath("mtype.mdb"), QFile::ReadOwner | QFile::WriteOwner);
        dlgConfigRS232::setSystemPortLister([] { return QStringList(); });
    }
    ~ShellFixture() { dlgConfigRS232::setSystemPortLister({}); }

    // Settings go to a folder of their own for the whole test program.
    static void isolateSettings(const QTemporaryDir &config)
    {
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    }
    static void clearSettings() { QSettings(QSettings::NativeFormat, QSettings::UserScope, "QLE-1-0").clear(); }

    std::unique_ptr<MDIForm1> makeWindow(const QStringList &devices = {}, bool unattended = false)
    {
        ShellOptions options;
        options.dataFolder = data.path();
        options.shippedCatalogue = QStringLiteral(QLE_SHIPPED_CATALOGUE);
        options.serialDevices = devices;
        options.unattended = unattended;
        return std::make_unique<MDIForm1>(options);
    }

    // Answers the serial dialog: the first listed device at 9600 baud, OK.
    void scriptSerialOk()
    {
        dialogs.script([](QDialog &d) {
            auto &dialog = static_cast<dlgConfigRS232 &>(d);
            dialog.Combo1()->setCurrentIndex(0);
            dialog.Combo2()->setCurrentIndex(0);
            d.findChild<QPushButton *>("OKButton")->click();
            return QDialog::Accepted;
        });
    }
    // Lets the next dialog run for real (the wait dialogs close themselves).
    void scriptRealRun()
    {
        dialogs.script([](QDialog &d) { return d.exec(); });
    }

    QTemporaryDir data;
    ScriptedMessageBox boxes;
    ScriptedModalRunner dialogs;
};

} // namespace qle::testing
