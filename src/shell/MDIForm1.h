#pragma once

#include "ShellOptions.h"
#include "comm/CommTasker.h"
#include "protocol/Commands.h"

#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <memory>

class QMdiArea;
class QStatusBar;

namespace qle {

class DataForm;
class MainMenu;
class dlgAutoMode;
class dlgConfigRS232;
class dlgDelay;
class dlgGPIB;
class dlgQueryInitial;
class dlgReadTimes;
class dlgRecallData;
class dlgSaveData;
class dlgWaitRsp;
class frmDebug;
class frmProxy;

// The main window: start-up, link opening, identification of the model,
// status line and the menus that drive a connection.
class MDIForm1 final : public QMainWindow, public ICommTaskerHost {
    Q_OBJECT
public:
    enum class StartResult { Ready, CatalogueMissing, CatalogueUnusable };

    explicit MDIForm1(ShellOptions options, QWidget *parent = nullptr);
    ~MDIForm1() override;

    // Opens the catalogue and fills the family menus. When it fails, the user
    // has been told and the program must end.
    StartResult Start();

    // Connection.
    void Setup(const QString &aCommType, const QString &DefaultMachineType, bool IsDirect);
    void SetupCommTasker();
    void SetSettings();
    void ResetAll();
    void AdjustWindowSize();

    // Identification.
    bool SetupMenuMachineTypes();
    void BeginGetMachineType(const QString &aCommType, const QString &DefaultMachineType);
    void OkGetMachineType();
    void FailGetMachineType();
    void EndGetMachineType();

    // Status line.
    void ReportStatus(const QString &msg, int msec) override;
    [[nodiscard]] bool isQueryTimerEnabled() const override { return QueryTimer.isActive(); }
    [[nodiscard]] QString statusText() const;

    // Interface menu.
    void mnuRS232_Click();
    void mnuGPIB_Click();
    void mnuUSB_Click();
    void mnuExit_Click();
    void mnuKMAItem_Click(int Index);
    void mnuKMBItem_Click(int Index);
    void mnuKMCItem_Click(int Index);
    void mnuQLEItem_Click(int Index);

    [[nodiscard]] CommTasker &engine() { return *m_engine; }
    [[nodiscard]] MainMenu &menu() { return *m_menu; }
    [[nodiscard]] DataForm &dataForm() { return *m_dataForm; }
    [[nodiscard]] Commands &commands() { return m_commands; }
    [[nodiscard]] frmProxy &proxy() { return *m_proxy; }
    dlgConfigRS232 &rs232Dialog();
    dlgGPIB &gpibDialog();

    // Public members the other windows read.
    QString CommType;
    QString MachineType;
    qint32 MainFormState = 0;
    qint16 AliveNumber = 0;
    qint16 LayoutType = 0;
    QPointer<QWidget> OperatorForm;
    bool IsSuspendOutput = false;
    bool IsQueryInitialValues = false;
    int StatusLineLiveMsec = 0;
    QString StatusLine;
    QPointer<QWidget> tableDataForm1;
    bool tableOperation1 = false;
    QPointer<QWidget> waveForm1;
    bool waveOperation1 = false;

    QTimer StatusTimer;
    QTimer QueryTimer;
    QTimer GetMachineTypeTimer;
    QTimer RecallTimer;

public slots:
    // Reached by name from the engine.
    void DevSetupMachineType(const QString &data);
    void DevSetupMachineType2() override;
    void DevGetMachineTypeTimeout();
    void OperationTimeout();

protected:
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void setStatusText(const QString &text);
    void onStatusTimer();
    void onGetMachineTypeTimer();
    void familyItemClicked(const QList<QAction *> &items, int index);
    void connectMenus();
    bool openSerialLink();
    bool configureGpibLink();

    ShellOptions m_options;
    std::unique_ptr<CommTasker> m_engine;
    std::unique_ptr<DataForm> m_dataForm;
    std::unique_ptr<frmProxy> m_proxy;
    std::unique_ptr<dlgConfigRS232> m_dlgConfigRS232;
    std::unique_ptr<dlgGPIB> m_dlgGPIB;
    std::unique_ptr<dlgWaitRsp> m_dlgWaitRsp;
    Commands m_commands;
    MainMenu *m_menu = nullptr;
    QMdiArea *m_mdiArea = nullptr;
    bool m_menuItemsCreated = false;
};

} // namespace qle
