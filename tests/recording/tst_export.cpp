// The graph window's CSV export of the working table.
#include "tst_graphfixture.h"

#include "recording/export/ExportCsv.h"
#include "recording/export/ExportFileDialog.h"
#include "recording/export/GraphImage.h"
#include "recording/graph/GraphView.h"
#include "ScriptedModalRunner.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QLineSeries>
#include <QProcess>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace qle;
using namespace qle::testing;

namespace {

// Answers the save dialog with a fixed name and remembers how it was asked.
class ScriptedFileDialogs final : public IFileDialogs {
public:
    ScriptedFileDialogs() { recording::setFileDialogs(this); }
    ~ScriptedFileDialogs() override { recording::setFileDialogs(nullptr); }
    ScriptedFileDialogs(const ScriptedFileDialogs &) = delete;
    ScriptedFileDialogs &operator=(const ScriptedFileDialogs &) = delete;

    QString saveFileName(QWidget *, const QString &folder, const QString &filter, QString *chosen) override
    {
        ++calls;
        askedFolder = folder;
        askedFilter = filter;
        if (chosen)
            *chosen = filter.split(";;").value(chooseFilter);
        return answer;
    }

    int chooseFilter = 0;

    QString answer;
    int calls = 0;
    QString askedFolder;
    QString askedFilter;
};

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Rows of 3 channels with distinct values per channel, stored out of SeqNo order.
QList<RecordRow> threeChannelRows(int count)
{
    QList<RecordRow> rows;
    for (int i = count - 1; i >= 0; --i) {
        RecordRow row;
        row.seqNo = i;
        row.recTime = QStringLiteral("2024/03/01 10:00:%1").arg(i * 5, 2, 10, QLatin1Char('0'));
        for (std::size_t ch = 0; ch < 3; ++ch) {
            row.pval[ch] = QStringLiteral("%1.%2").arg(ch + 1).arg(i);
            row.sval[ch] = QStringLiteral("0.%1%2").arg(ch + 1).arg(i);
        }
        row.timeTick = i * 5;
        rows.append(row);
    }
    return rows;
}

} // namespace

class TestExport : public QObject {
    Q_OBJECT

private slots:
    void beforeAnyRecordingOnlyTheMessage()
    {
        GraphRig rig;
        ScriptedFileDialogs dialogs;
        rig.graph->cmdExport_Click();
        QCOMPARE(rig.boxes.texts(), QStringList{"Please Record or Load existing data first!"});
        QCOMPARE(rig.boxes.shown().first().icon, IMessageBox::Icon::Information);
        QCOMPARE(dialogs.calls, 0);
    }

    // Four rows of three channels: a header and four lines of eight fields,
    // in SeqNo order, ended by CR LF.
    void threeChannelFile()
    {
        GraphRig rig(3);
        ScriptedFileDialogs dialogs;
        QTemporaryDir out;
        dialogs.answer = out.filePath("run.csv");
        QVERIFY(rig.store(threeChannelRows(4)));
        rig.graph->ReDraw();
        rig.graph->cmdExport_Click();
        QVERIFY(rig.boxes.texts().isEmpty());
        QCOMPARE(dialogs.askedFilter.split(";;").first(), QString("Power文件(*.csv)"));
        // The program's data folder: where its record file is.
        QCOMPARE(QDir(dialogs.askedFolder), QFileInfo(rig.file.db().databaseName()).absoluteDir());

        const QByteArray text = contents(dialogs.answer);
        QVERIFY(text.endsWith("\r\n"));
        QList<QByteArray> lines = text.split('\n');
        QVERIFY(lines.takeLast().isEmpty());
        QCOMPARE(lines.size(), 5);
        for (const QByteArray &line : lines) {
            QVERIFY(line.endsWith('\r'));
            QVERIFY(!line.chopped(1).contains('\r'));
            QVERIFY(!line.contains('"'));
            QCOMPARE(line.chopped(1).split(',').size(), 8);
        }
        QCOMPARE(lines.at(0), QByteArray("No.,Time,Ch1 V,Ch1 A,Ch2 V,Ch2 A,Ch3 V,Ch3 A\r"));
        QCOMPARE(lines.at(1), QByteArray("0,2024/03/01 10:00:00,1.0,0.10,2.0,0.20,3.0,0.30\r"));
        QCOMPARE(lines.at(4), QByteArray("3,2024/03/01 10:00:15,1.3,0.13,2.3,0.23,3.3,0.33\r"));
        // Power, charge and energy columns when that type is chosen: the
        // rows as before, then per channel W, Ah and Wh so far (5 s apart).
        dialogs.chooseFilter = 1;
        dialogs.answer = out.filePath("energy.csv");
        rig.graph->cmdExport_Click();
        QVERIFY(rig.boxes.texts().isEmpty());
        const QList<QByteArray> energy = contents(dialogs.answer).split('\n');
        QCOMPARE(energy.at(0), QByteArray("No.,Time,Ch1 V,Ch1 A,Ch2 V,Ch2 A,Ch3 V,Ch3 A,Ch1 W,Ch1 Ah,Ch1 Wh,Ch2 W,Ch2 "
                                          "Ah,Ch2 Wh,Ch3 W,Ch3 Ah,Ch3 Wh\r"));
        QVERIFY(energy.at(1).startsWith(lines.at(1).chopped(1) + ",0.100,0.000000,0.000000,0.400,"));
        // (0.10 + 0.11) / 2 A for 5 s; (0.100 + 0.121) / 2 W for 5 s.
        QVERIFY2(energy.at(2).startsWith(lines.at(2).chopped(1) + ",0.121,0.000146,0.000153,"),
                 energy.at(2).constData());
        dialogs.chooseFilter = 0;

        // Without events there is no second file.
        QVERIFY(!QFile::exists(out.filePath("run-events.csv")));

        // With events, the same rows and the events beside them.
        RecordEvent mark;
        mark.atMs = 1500;
        mark.at = QDateTime::fromString("2024-03-01T10:00:01.500", Qt::ISODateWithMs);
        mark.text = "probe \"TP3\"";
        rig.graph->showTimeline({mark}, {});
        dialogs.answer = out.filePath("marked.csv");
        rig.graph->cmdExport_Click();
        QVERIFY(rig.boxes.texts().isEmpty());
        QCOMPARE(contents(out.filePath("marked.csv")), text);
        const QList<QByteArray> events = contents(out.filePath("marked-events.csv")).split('\n');
        QVERIFY2(events.value(0).contains("AtMs,Time,Kind,Channel,Source,Text"), events.value(0).constData());
        QVERIFY2(events.value(1).startsWith("1500,2024-03-01T10:00:01.500") &&
                     events.value(1).contains(",mark,,user,\"probe \"\"TP3\"\"\"\r"),
                 events.value(1).constData());
    }

    void headerPerChannelCount_data()
    {
        QTest::addColumn<int>("channels");
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<QByteArray>("firstRow");
        QTest::newRow("one") << 1 << QByteArray("No.,Time,Ch1 V,Ch1 A") << QByteArray("0,2024/03/01 10:00:00,1.0,0.10");
        QTest::newRow("two") << 2 << QByteArray("No.,Time,Ch1 V,Ch1 A,Ch2 V,Ch2 A")
                             << QByteArray("0,2024/03/01 10:00:00,1.0,0.10,2.0,0.20");
        QTest::newRow("three") << 3 << QByteArray("No.,Time,Ch1 V,Ch1 A,Ch2 V,Ch2 A,Ch3 V,Ch3 A")
                               << QByteArray("0,2024/03/01 10:00:00,1.0,0.10,2.0,0.20,3.0,0.30");
    }
    void headerPerChannelCount()
    {
        QFETCH(int, channels);
        QFETCH(QByteArray, header);
        QFETCH(QByteArray, firstRow);
        GraphRig rig(channels);
        ScriptedFileDialogs dialogs;
        QTemporaryDir out;
        dialogs.answer = out.filePath("run.csv");
        QVERIFY(rig.store(threeChannelRows(2)));
        rig.graph->ReDraw();
        rig.graph->cmdExport_Click();
        const QList<QByteArray> lines = contents(dialogs.answer).split('\n');
        QCOMPARE(lines.at(0), header + "\r");
        QCOMPARE(lines.at(1), firstRow + "\r");
    }

    // Empty cells give empty fields.
    void emptyCellsGiveEmptyFields()
    {
        RecordFile file;
        RecordRow row;
        row.seqNo = 0;
        row.recTime = "2024/03/01 10:00:00";
        row.pval = {"5.00", "", ""};
        row.sval = {"", "", ""};
        RecordDatabase records(file.db());
        QVERIFY(records.addSample(row));
        QTemporaryDir out;
        QString error;
        QVERIFY(ExportCsv::write(file.db(), 2, out.filePath("a.csv"), &error));
        QCOMPARE(contents(out.filePath("a.csv")),
                 QByteArray("No.,Time,Ch1 V,Ch1 A,Ch2 V,Ch2 A\r\n0,2024/03/01 10:00:00,5.00,,,\r\n"));
    }

    void exportingTwiceReplacesTheFile()
    {
        GraphRig rig(1);
        ScriptedFileDialogs dialogs;
        QTemporaryDir out;
        dialogs.answer = out.filePath("run.csv");
        QVERIFY(rig.store(threeChannelRows(4)));
        rig.graph->ReDraw();
        rig.graph->cmdExport_Click();
        QCOMPARE(contents(dialogs.answer).count('\n'), 5);

        rig.table->ClearData();
        QVERIFY(rig.store(threeChannelRows(2)));
        rig.graph->ReDraw();
        rig.graph->cmdExport_Click();
        QCOMPARE(contents(dialogs.answer).count('\n'), 3);
        QCOMPARE(QDir(out.path()).entryList(QDir::Files), QStringList{"run.csv"});
        QVERIFY(rig.boxes.texts().isEmpty());
    }

    // A file that cannot be created: a message naming it, and no file.
    void unwritableFolder()
    {
        GraphRig rig(1);
        ScriptedFileDialogs dialogs;
        QTemporaryDir out;
        // A folder that is a plain file cannot hold anything, whoever runs the test.
        QFile blocker(out.filePath("exports"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        dialogs.answer = out.filePath("exports/run.csv");
        QVERIFY(rig.store(threeChannelRows(2)));
        rig.graph->ReDraw();
        rig.graph->cmdExport_Click();
        QCOMPARE(rig.boxes.shown().size(), 1);
        const QString message = rig.boxes.texts().first();
        QVERIFY2(message.startsWith("Cannot export to " + QDir::toNativeSeparators(dialogs.answer) + ": "),
                 qPrintable(message));
        QVERIFY(message.size() > QString("Cannot export to " + dialogs.answer + ": ").size());
        QCOMPARE(rig.boxes.shown().first().icon, IMessageBox::Icon::Critical);
        QVERIFY(!QFileInfo::exists(dialogs.answer));
        QCOMPARE(QDir(out.path()).entryList(QDir::Files), QStringList{"exports"});
    }

    // A failed export leaves the earlier file as it was.
    void failedExportKeepsTheEarlierFile()
    {
        RecordFile file;
        RecordDatabase records(file.db());
        RecordRow row;
        row.recTime = "2024/03/01 10:00:00";
        QVERIFY(records.addSample(row));
        QTemporaryDir out;
        const QString path = out.filePath("run.csv");
        QString error;
        QVERIFY(ExportCsv::write(file.db(), 1, path, &error));
        const QByteArray before = contents(path);
        QVERIFY(file.exec("drop table datatemp"));
        QVERIFY(!ExportCsv::write(file.db(), 1, path, &error));
        QVERIFY2(error.startsWith("Cannot export to "), qPrintable(error));
        QCOMPARE(contents(path), before);
        QCOMPARE(QDir(out.path()).entryList(QDir::Files), QStringList{"run.csv"});
    }

    // The real save dialog, answered through the modal runner.
    void theSaveDialog()
    {
        GraphRig rig(1);
        ScriptedModalRunner runner;
        QTemporaryDir out;
        const QString path = out.filePath("chosen.csv");
        QString folder;
        QStringList filters;
        runner.script([&](QDialog &dialog) {
            auto &files = dynamic_cast<QFileDialog &>(dialog);
            folder = files.directory().absolutePath();
            filters = files.nameFilters();
            files.selectFile(path);
            return int{QDialog::Accepted};
        });
        QVERIFY(rig.storeRows({"1"}, {"2"}));
        rig.graph->ReDraw();
        rig.graph->cmdExport_Click();
        QCOMPARE(folder, QFileInfo(rig.file.db().databaseName()).absolutePath());
        QCOMPARE(filters, (QStringList{"Power文件(*.csv)", "Power文件 with W, Ah, Wh (*.csv)"}));
        QVERIFY(rig.boxes.texts().isEmpty());
        QCOMPARE(contents(path).split('\n').size(), 3);
        QVERIFY(!contents(path).contains(" W"));

        // The type chosen in the dialog gives the power columns.
        runner.script([&](QDialog &dialog) {
            auto &files = dynamic_cast<QFileDialog &>(dialog);
            files.selectNameFilter(files.nameFilters().at(1));
            files.selectFile(path);
            return int{QDialog::Accepted};
        });
        rig.graph->cmdExport_Click();
        QVERIFY(contents(path).startsWith("No.,Time,Ch1 V,Ch1 A,Ch1 W,Ch1 Ah,Ch1 Wh\r\n"));

        // Cancelled: no file.
        runner.script([](QDialog &) { return int{QDialog::Rejected}; });
        QVERIFY(QFile::remove(path));
        rig.graph->cmdExport_Click();
        QVERIFY(!QFileInfo::exists(path));
        QVERIFY(rig.boxes.texts().isEmpty());
    }

    // The graph as a picture: the suffix picks the format, drawn at the size
    // chosen, the same picture as on screen.
    void savesTheGraphAsAPicture_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::newRow("PNG") << "png";
        QTest::newRow("SVG") << "svg";
        QTest::newRow("PDF") << "pdf";
    }
    void savesTheGraphAsAPicture()
    {
        QFETCH(QString, suffix);
        GraphRig rig(2, 0);
        QVERIFY(rig.storeRows({"5.00", "6.00", "7.00"}, {"1.000", "2.000", "3.000"}));
        rig.graph->resize(900, 600);
        rig.graph->show();
        QVERIFY(QTest::qWaitForWindowExposed(rig.graph.get()));
        rig.graph->ReDraw();
        rig.graph->updateNow();
        QTemporaryDir out;
        ScriptedFileDialogs files;
        files.answer = out.filePath("graph." + suffix);
        ScriptedModalRunner runner;
        QSize offered;
        runner.script([&offered](QDialog &d) {
            auto *width = d.findChild<QSpinBox *>("txtWidth");
            auto *height = d.findChild<QSpinBox *>("txtHeight");
            offered = QSize(width->value(), height->value());
            width->setValue(640);
            height->setValue(360);
            return QDialog::Accepted;
        });
        rig.graph->cmdImage_Click();
        QVERIFY2(rig.boxes.texts().isEmpty(), qPrintable(rig.boxes.texts().join('\n')));
        QCOMPARE(offered, rig.graph->CWGraph1->size());
        QVERIFY(files.askedFilter.contains("*.png") && files.askedFilter.contains("*.svg") &&
                files.askedFilter.contains("*.pdf"));
        const QByteArray data = contents(files.answer);
        QVERIFY(!data.isEmpty());
        if (suffix == "png") {
            const QImage image(files.answer);
            QCOMPARE(image.size(), QSize(640, 360));
            // The screen's light yellow plot area is there.
            int plotArea = 0;
            for (int y = 0; y < image.height(); y += 4)
                for (int x = 0; x < image.width(); x += 4)
                    plotArea += image.pixelColor(x, y) == QColor(255, 255, 224) ? 1 : 0;
            QVERIFY2(plotArea > 2000, qPrintable(QString::number(plotArea)));
        } else if (suffix == "svg") {
            QVERIFY(data.contains("<svg"));
            QVERIFY(data.contains("viewBox=\"0 0 640 360\""));
        } else {
            QVERIFY(data.startsWith("%PDF"));
            QProcess info;
            info.start(QStandardPaths::findExecutable("pdfinfo"), {files.answer});
            QVERIFY(info.waitForFinished(30000));
            QVERIFY2(info.readAllStandardOutput().contains("640 x 360 pts"), "page size");
        }
    }

    // At a shape other than the screen's the picture is laid out afresh at
    // its size, one pixel a pixel of the screen: every text and line is drawn
    // at the same scale in both directions, the plot area fills the picture,
    // and the graph on screen is laid out as it was.
    void picturesAreLaidOutAtTheirSize_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("wide") << QSize(1800, 360);
        QTest::newRow("tall") << QSize(360, 1000);
    }
    void picturesAreLaidOutAtTheirSize()
    {
        QFETCH(QSize, size);
        GraphRig rig(2, 0);
        QVERIFY(rig.storeRows({"5.00", "6.00", "7.00"}, {"1.000", "2.000", "3.000"}));
        rig.graph->resize(900, 600);
        rig.graph->show();
        QVERIFY(QTest::qWaitForWindowExposed(rig.graph.get()));
        rig.graph->ReDraw();
        rig.graph->updateNow();
        GraphView &view = *rig.graph->CWGraph1;
        const QSizeF chartBefore = view.chart()->size();
        const QRectF plotBefore = view.chart()->plotArea();
        const QList<QPointF> pointsBefore = view.series(0)->points();

        QTemporaryDir out;
        QString error;
        const QString svg = out.filePath("graph.svg");
        QVERIFY2(saveGraphImage(view, svg, size, &error), qPrintable(error));
        const QString drawing = QString::fromUtf8(contents(svg));
        QVERIFY(drawing.contains("Elapsed Time"));
        const QRegularExpression matrix(QStringLiteral("transform=\"matrix\\(([^)]*)\\)\""));
        int transforms = 0;
        for (const QRegularExpressionMatch &match : matrix.globalMatch(drawing)) {
            const QStringList m = match.captured(1).split(',');
            QCOMPARE(m.size(), 6);
            const double sx = std::hypot(m[0].toDouble(), m[1].toDouble());
            const double sy = std::hypot(m[2].toDouble(), m[3].toDouble());
            QVERIFY2(std::abs(sx - 1) < 1e-6 && std::abs(sy - 1) < 1e-6, qPrintable(match.captured(0)));
            ++transforms;
        }
        QVERIFY(transforms > 0);

        const QString png = out.filePath("graph.png");
        QVERIFY2(saveGraphImage(view, png, size, &error), qPrintable(error));
        const QImage image(png);
        QCOMPARE(image.size(), size);
        QRect plotArea;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixelColor(x, y) == QColor(255, 255, 224))
                    plotArea = plotArea.united(QRect(x, y, 1, 1));
        QVERIFY2(plotArea.width() > 0.6 * size.width() && plotArea.height() > 0.5 * size.height(),
                 qPrintable(QString("%1x%2").arg(plotArea.width()).arg(plotArea.height())));

        QCOMPARE(view.chart()->size(), chartBefore);
        QCOMPARE(view.chart()->plotArea(), plotBefore);
        QCOMPARE(view.series(0)->points(), pointsBefore);
    }

    // A reading with gaps on both sides is in the picture as a mark in its
    // trace's colour, where the screen shows it.
    void aReadingBetweenGapsIsInThePicture()
    {
        GraphRig rig(1, 2);
        QVERIFY(rig.storeRows({"5.0", "5.5", "", "9.0", ""}, {"1", "1", "1", "1", "1"}));
        rig.graph->resize(900, 600);
        rig.graph->show();
        QVERIFY(QTest::qWaitForWindowExposed(rig.graph.get()));
        rig.graph->ReDraw();
        rig.graph->updateNow();
        GraphView &view = *rig.graph->CWGraph1;
        const QPointF reading(3 * 5.0 / 86400, 9.0);
        const QPoint at = view.mapFromScene(view.chart()->mapToPosition(reading, view.series(0)));

        QTemporaryDir out;
        QString error;
        const QString png = out.filePath("graph.png");
        QVERIFY2(saveGraphImage(view, png, view.size(), &error), qPrintable(error));
        const QImage image(png);
        QCOMPARE(image.size(), view.size());
        int inked = 0;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                const QColor pixel = image.pixelColor(at + QPoint(dx, dy));
                inked += std::abs(pixel.red() - 0) + std::abs(pixel.green() - 192) + std::abs(pixel.blue() - 0) < 40;
            }
        QVERIFY2(inked >= 5, qPrintable(QString::number(inked)));
    }

    // A folder that does not exist, or a name of no picture type: said, no file.
    void pictureErrorsAreShown()
    {
        GraphRig rig(1, 0);
        QTemporaryDir out;
        ScriptedFileDialogs files;
        ScriptedModalRunner runner;
        for (const QString &name : {out.filePath("missing/graph.png"), out.filePath("graph.bmp")}) {
            files.answer = name;
            runner.script([](QDialog &) { return QDialog::Accepted; });
            rig.boxes.clear();
            rig.graph->cmdImage_Click();
            QCOMPARE(rig.boxes.shown().size(), 1);
            QVERIFY2(rig.boxes.texts().first().endsWith(QDir::toNativeSeparators(name)),
                     qPrintable(rig.boxes.texts().first()));
            QCOMPARE(rig.boxes.shown().first().icon, IMessageBox::Icon::Critical);
            QVERIFY(!QFileInfo::exists(name));
        }
        // Cancelled at the size: nothing written, nothing said.
        files.answer = out.filePath("graph.png");
        runner.script([](QDialog &) { return QDialog::Rejected; });
        rig.boxes.clear();
        rig.graph->cmdImage_Click();
        QVERIFY(rig.boxes.texts().isEmpty());
        QVERIFY(!QFileInfo::exists(files.answer));
    }
};

QTEST_MAIN(TestExport)
#include "tst_export.moc"
