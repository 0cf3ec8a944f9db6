#pragma once

#include <QDialog>

#include <functional>

class QPushButton;

namespace qle {

// The about box: the program's name and version, and a button that starts
// the operating system's system-information tool when one is installed.
class frmAbout final : public QDialog {
    Q_OBJECT
public:
    using Launcher = std::function<bool(const QString &program)>;

    explicit frmAbout(QWidget *parent = nullptr);

    // The system-information tool found on this machine, or empty.
    [[nodiscard]] static QString findSystemInfoTool();
    // How programs are started; tests replace it.
    static void setLauncher(Launcher launcher);

    void Execute();
    [[nodiscard]] QPushButton *cmdSysInfo() const { return m_sysInfo; }
    [[nodiscard]] QString toolPath() const { return m_tool; }

private:
    QPushButton *m_sysInfo;
    QString m_tool;
};

} // namespace qle
