#pragma once

#include "recording/database/RecordDatabase.h"
#include "recording/database/SampleReducer.h"

#include "recording/database/PackedRecordRow.h"
#include "recording/events/RecordEvent.h"
#include <QDateTime>

#include <QList>
#include <QSqlDatabase>
#include <QTimer>
#include <QWidget>

#include <array>
#include <optional>

class QComboBox;
class QFrame;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTableView;

namespace qle {

class IRecorderHost;
class RecordTableModel;

// The table recorder, "Data Table": once a second during a recording it reads
// the panel's displayed readings, folds them over the sample interval into
// one row, writes the row to the working table and shows it in the grid. It
// also saves, lists, loads and clears records and takes comments per row.
class frmDataTable final : public QWidget {
    Q_OBJECT
public:
    frmDataTable(IRecorderHost &host, QSqlDatabase db, QWidget *parent = nullptr);
    ~frmDataTable() override;

    // Recording, driven by the main window and the graph window.
    void RecordPeriod(qint16 Days, qint16 Hours, qint16 Miniutes, qint16 Seconds, qint16 iScale, qint16 iOpmode);
    void BeginRecordData();
    // What to do with rows no record holds when a recording starts or a
    // record is loaded: ask (the windows), keep them and refuse (a script
    // without FORCE), or discard them (FORCE).
    enum class UnsavedRows { Ask, Keep, Discard };
    // Starts a recording; the reason when it cannot (empty when the person
    // asked chose to keep the rows).
    [[nodiscard]] std::optional<QString> startRecording(UnsavedRows unsaved);
    // Saves the rows as a new record with `comment`, or replaces the record
    // they were loaded from; the record number, or the reason it failed.
    struct Saved {
        QString recNo;
        QString error;
    };
    [[nodiscard]] Saved saveRows(const QString &comment);
    // Loads record `recNo` into the working table; the reason when it cannot.
    [[nodiscard]] std::optional<QString> loadRecord(const QString &recNo, UnsavedRows unsaved);
    void EndRecordData(int index);
    // One tick of TimerRecordData.
    void TimerRecordData_Timer();

    // What the graph window asks of single rows of the last recording.
    void RowSelected(qint32 index);
    [[nodiscard]] QString GetValuePrimary(qint32 index) const;
    [[nodiscard]] QString GetValueSecond(qint32 index) const;
    [[nodiscard]] QString GetDate(qint32 index) const;

    // Empties the window and the working table.
    void ClearData();
    // True when the working rows may be replaced: there are none, a saved
    // record holds all of them, or the user agrees to discard them.
    [[nodiscard]] bool mayDiscardWorkingRows();
    // Shows working rows that no record holds (a recording cut short by a
    // lost link, or left by a run that ended), ready to be saved; the number
    // of rows shown, 0 when there are none.
    int showUnsavedRows();
    // The sample-interval position of the rows shown.
    [[nodiscard]] int rowsScale() const { return rowsRecStyle().toInt(); }
    // The fields of a record being loaded, and the sample interval of its rows.
    void showRecordHeader(const RecordHeader &header);
    // The sample-interval position the working rows were recorded with, as
    // stored in a record header.
    [[nodiscard]] QString rowsRecStyle() const;

    // Buttons, lists and the grid.
    void cmdSave_Click();
    void cmdLoadRecord_Click();
    void cmdClear_Click();
    void List1_Click(int line);
    void CmbSample_Click();
    void grdHelQuest_Click(int row, int column);
    void cmdProcOK_Click();
    void cmdProcCancel_Click();
    void cmdGenerate_Click();
    void cmdGenerateMin_Click();
    // After a failed replace: a record that no longer exists is forgotten,
    // so that the next Save makes a new one.
    void forgetDeletedRecord(const QString &recNo);

    [[nodiscard]] RecordDatabase &database() { return m_records; }
    [[nodiscard]] const RecordTableModel &gridModel() const { return *m_model; }
    [[nodiscard]] int visibleRows() const { return m_visibleRows; }
    [[nodiscard]] int intervalLimit() const { return m_limit; }
    [[nodiscard]] bool isRecording() const { return TimerRecordData.isActive(); }

    qint32 iCurrentRow = 0;      // rows recorded or shown; the next row number
    qint16 ContrlIdx = 0;        // channels shown minus one
    qint32 CountRecordCount = 0; // seconds of recording still to run
    QTimer TimerRecordData;

    // The value being formed for the current row, per channel.
    QLineEdit *txtCh1V;
    QLineEdit *txtCh1A;
    QLineEdit *txtCh2V;
    QLineEdit *txtCh2A;
    QLineEdit *txtCh3V;
    QLineEdit *txtCh3A;
    QLineEdit *txtTick;
    QLineEdit *txtTime;
    // The record shown: number (empty until saved), start, end, description.
    QLineEdit *txtRecno;
    QLineEdit *txtStartTime;
    QLineEdit *txtEndTime;
    QLineEdit *txtDataDesc;
    QComboBox *CmbSample;
    QTableView *grdHelQuest;
    QListWidget *List1;
    QFrame *pnlDataComment;
    QLineEdit *txtDataComment;
    QPushButton *cmdProcOK;
    QPushButton *cmdProcCancel;
    QPushButton *cmdSave;
    QPushButton *cmdLoadRecord;
    QPushButton *cmdClear;
    QPushButton *cmdGenerate;
    QPushButton *cmdGenerateMin;
    // The events of the rows shown, beside the grid once there are any, and
    // the button that adds a note to them.
    QPushButton *cmdMark;
    QListWidget *lstEvents;

    // What the events column lists; an event added at the end.
    void showEvents(const QList<RecordEvent> &events);
    void addEvent(const RecordEvent &event);

signals:
    // The graph window clears and captions its start button "Record...".
    void recordingStarted();
    // The graph window's start button back to "Start".
    void recordingStopped();
    // A saved record is now the working table: the graph window redraws.
    void recordLoaded();
    // The rows were saved as (or into) record `recNo`.
    void recordSaved(const QString &recNo);
    // Mark... was pressed: the main window asks for the note.
    void markRequested();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void buildControls();
    void placeControls();
    void updateMinimumSize();
    [[nodiscard]] int stripHeight() const;
    void rebuildHeader();
    // Puts the row at the top of the grid, as far as the grid can scroll.
    void scrollGridTo(int topRow);
    void setRecordingControls(bool recording);
    void stopRecording();
    void failRecording(const QString &description);
    [[nodiscard]] std::optional<QString> appendSample(double tickTime);
    [[nodiscard]] std::optional<QString> writeRow(double tickTime);
    [[nodiscard]] int channelsShown() const;
    [[nodiscard]] const PackedRecordRow *recordedRow(qint32 index) const;
    void showSystemError();
    [[nodiscard]] QString systemErrorText() const;
    [[nodiscard]] QString errorText() const;
    void showError();
    void startTimeEdited(const QString &text);

    IRecorderHost &m_host;
    RecordDatabase m_records;
    RecordTableModel *m_model;
    QWidget *m_strip;
    std::array<QLineEdit *, 3> m_boxV{};
    std::array<QLineEdit *, 3> m_boxA{};

    SampleReducer m_reducer;
    qint16 m_scale = 0;
    int m_limit = 0;
    qint16 m_tickCounter = 0;
    QDateTime m_startTime;
    std::optional<double> m_firstRowTime; // monotonic seconds of the first row
    qint64 m_runningSeconds = 0;
    QList<PackedRecordRow> m_rows; // the rows of the last recording
    QString m_rowsRecStyle;        // their sample interval; empty: the setting's
    int m_visibleRows = 0;
    int m_commentRow = -1;
};

} // namespace qle
