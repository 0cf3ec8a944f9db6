// The graph window's Print, through the real printer dialog answered by the
// modal runner, into a PDF file that poppler's tools then examine.
#include "tst_graphfixture.h"

#include "recording/table/frmDataTable.h"

#include "recording/export/PrintGraph.h"
#include "recording/graph/GraphView.h"
#include "ScriptedModalRunner.h"

#include <QCategoryAxis>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>

using namespace qle;
using namespace qle::testing;

namespace {

// A printer dialog answer: print to this PDF file, or cancel.
ScriptedModalRunner::Step printTo(const QString &pdf, int result, bool *wasPrintDialog)
{
    return [=](QDialog &dialog) {
        auto *print = dynamic_cast<QPrintDialog *>(&dialog);
        *wasPrintDialog = print != nullptr;
        if (print) {
            print->printer()->setOutputFormat(QPrinter::PdfFormat);
            print->printer()->setOutputFileName(pdf);
        }
        return result;
    };
}

// Runs one of poppler's tools; its standard output.
QByteArray run(const QString &tool, const QStringList &arguments, bool *ok)
{
    QProcess process;
    process.start(QStandardPaths::findExecutable(tool), arguments);
    *ok = process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return process.readAllStandardOutput();
}

// Prints the rig's graph into a PDF file through the printer dialog; false
// when the dialog shown was not the printer's.
bool printToPdf(GraphRig &rig, const QString &pdf)
{
    ScriptedModalRunner runner;
    bool wasPrintDialog = false;
    runner.script(printTo(pdf, QDialog::Accepted, &wasPrintDialog));
    rig.graph->cmdPrint_Click();
    return wasPrintDialog;
}

// The text of a PDF file as laid out on its page, empty when it cannot be read.
QString pdfText(const QString &pdf)
{
    bool ok = false;
    const QByteArray text = run("pdftotext", {"-layout", pdf, "-"}, &ok);
    return ok ? QString::fromUtf8(text) : QString();
}

bool near(const QColor &a, const QColor &b, int tolerance)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

void compareLooks(const GraphView::Look &actual, const GraphView::Look &expected)
{
    QCOMPARE(actual.plots, expected.plots);
    QCOMPARE(actual.background, expected.background);
    QCOMPARE(actual.plotArea, expected.plotArea);
    QCOMPARE(actual.timeGrid, expected.timeGrid);
    QCOMPARE(actual.voltageGrid, expected.voltageGrid);
    QCOMPARE(actual.frameVisible, expected.frameVisible);
}

// The box of the first word `word` on the page, in points; empty when absent.
QRectF pdfWordBox(const QString &pdf, const QString &word)
{
    bool ok = false;
    const QString words = QString::fromUtf8(run("pdftotext", {"-bbox", pdf, "-"}, &ok));
    const QRegularExpression box(
        QStringLiteral("<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"([0-9.]+)\" yMax=\"([0-9.]+)\">") +
        QRegularExpression::escape(word) + QStringLiteral("</word>"));
    const QRegularExpressionMatch match = box.match(words);
    if (!ok || !match.hasMatch())
        return {};
    return QRectF(QPointF(match.captured(1).toDouble(), match.captured(2).toDouble()),
                  QPointF(match.captured(3).toDouble(), match.captured(4).toDouble()));
}

// A three-channel recording of 240 rows, drawn on a shown window.
void drawRecording(GraphRig &rig, QSize window = QSize(1000, 640))
{
    QStringList volts, amps;
    for (int i = 0; i < 240; ++i) {
        volts.append(QString::number(16 + 12 * std::sin(i / 20.0), 'f', 2));
        amps.append(QString::number(2.5 + 2 * std::cos(i / 15.0), 'f', 3));
    }
    QVERIFY(rig.storeRows(volts, amps));
    rig.graph->resize(window);
    rig.graph->show();
    QVERIFY(QTest::qWaitForWindowExposed(rig.graph.get()));
    rig.graph->ReDraw();
    rig.graph->updateNow();
}

} // namespace

class TestPrint : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        for (const char *tool : {"pdftoppm", "pdfimages", "pdftotext"})
            if (QStandardPaths::findExecutable(tool).isEmpty())
                QSKIP("poppler-utils (pdftoppm, pdfimages, pdftotext) is not installed");
    }

    void graphBoxLeavesTheHeaderAndFooterLines()
    {
        QCOMPARE(graphBox(QRectF(0, 0, 1000, 500), 10, 1, 4), QRectF(0, 15, 1000, 440));
        QCOMPARE(graphBox(QRectF(0, 0, 1000, 50), 10, 1, 4), QRectF(0, 15, 1000, 0));
    }

    // The graph goes on a landscape page as vectors, black on white, filling
    // the printable width between a header line and the statistics with a
    // legend; the screen look comes back.
    void printsThePictureOnAPdfPage()
    {
        GraphRig rig(3, 0);
        drawRecording(rig);
        rig.table->txtRecno->setText("7");
        rig.table->txtDataDesc->setText("bench run");
        rig.table->txtStartTime->setText("2024/03/01 10:00:00");
        rig.table->txtEndTime->setText("2024/03/01 10:20:00");
        const GraphView::Look screen = rig.graph->CWGraph1->look();
        QVERIFY(screen.frameVisible);

        QTemporaryDir out;
        const QString pdf = out.filePath("graph.pdf");
        QVERIFY(printToPdf(rig, pdf));
        QVERIFY2(rig.boxes.texts().isEmpty(), qPrintable(rig.boxes.texts().join('\n')));
        QVERIFY(QFileInfo(pdf).size() > 0);
        compareLooks(rig.graph->CWGraph1->look(), screen);

        // No picture of the graph: the page holds no image at all.
        bool ok = false;
        const QList<QByteArray> images = run("pdfimages", {"-list", pdf}, &ok).trimmed().split('\n');
        QVERIFY(ok);
        QCOMPARE(images.size(), 2); // the two header lines of the list

        const QString png = out.filePath("page");
        run("pdftoppm", {"-r", "100", "-png", "-singlefile", pdf, png}, &ok);
        QVERIFY(ok);
        const QImage page(png + ".png");
        QVERIFY(!page.isNull());
        QVERIFY(page.width() > page.height());

        QRect inked;
        int black = 0, grey = 0, coloured = 0;
        for (int y = 0; y < page.height(); ++y) {
            for (int x = 0; x < page.width(); ++x) {
                const QColor pixel = page.pixelColor(x, y);
                if (near(pixel, Qt::white, 6))
                    continue;
                inked = inked.united(QRect(x, y, 1, 1));
                black += near(pixel, Qt::black, 60) ? 1 : 0;
                grey += near(pixel, QColor(128, 128, 128), 30) ? 1 : 0;
                // The screen's light yellow plot area and coloured traces are gone.
                const int chroma = std::max({pixel.red(), pixel.green(), pixel.blue()}) -
                                   std::min({pixel.red(), pixel.green(), pixel.blue()});
                coloured += chroma > 24 ? 1 : 0;
            }
        }
        const double w = page.width();
        const double h = page.height();
        // Most of the page: all but the printer's margins.
        QVERIFY2(inked.width() >= 0.85 * w && inked.height() >= 0.8 * h,
                 qPrintable(QString("%1x%2 of %3x%4").arg(inked.width()).arg(inked.height()).arg(w).arg(h)));
        QVERIFY2(black > 1000, qPrintable(QString::number(black)));
        QVERIFY2(grey > 1000, qPrintable(QString::number(grey)));
        QCOMPARE(coloured, 0);

        // The header above, the statistics and the legend below.
        const QString text = pdfText(pdf);
        const QStringList lines = text.split(u'\n', Qt::SkipEmptyParts);
        QVERIFY2(lines.first().contains(QRegularExpression("KMA-3303T +Record 7: bench run +Start 2024/03/01 "
                                                           "10:00:00 +End 2024/03/01 10:20:00")),
                 qPrintable(lines.first()));
        for (const char *expected : {"Total Time:", "Samples: 239", "CH3 Min:", "Ch1 V", "Ch2 A", "Ch3 A"})
            QVERIFY2(text.contains(QLatin1String(expected)), expected);
        // Graph first, then the statistics: they are below the graph's time axis.
        QVERIFY(text.indexOf("Elapsed Time") < text.indexOf("Total Time:"));
        QVERIFY(!text.contains("\f") || text.indexOf('\f') == text.size() - 1);

        // The recording's events on a page after the graph, and its totals
        // under the statistics.
        QList<RecordEvent> events(3);
        events[0].kind = RecordEvent::Kind::RecordingStart;
        events[0].text = "recording started";
        events[1].atMs = 61'000;
        events[1].text = "probe moved";
        events[2].atMs = 120'500;
        events[2].kind = RecordEvent::Kind::LimitBreach;
        events[2].channel = 0;
        events[2].source = RecordEvent::Source::Program;
        events[2].text = "CH1 current 2.4 A above 1.5 A";
        rig.graph->showTimeline(events, {{0, 0.0125, 0.15}});
        rig.graph->updateNow();
        const QString withEvents = out.filePath("events.pdf");
        QVERIFY(printToPdf(rig, withEvents));
        const QStringList pages = pdfText(withEvents).split(u'\f', Qt::SkipEmptyParts);
        QVERIFY2(pages.size() >= 2, qPrintable(QString::number(pages.size())));
        QVERIFY(pages.at(0).contains("CH1 0.0125 Ah, 0.1500 Wh"));
        QVERIFY2(pages.at(1).contains(QRegularExpression("Events +KMA-3303T +Record 7")), qPrintable(pages.at(1)));
        QVERIFY(pages.at(1).contains("61.000 s") && pages.at(1).contains("probe moved"));
        QVERIFY(pages.at(1).indexOf("probe moved") < pages.at(1).indexOf("CH1 current 2.4 A above 1.5 A"));
    }

    // The graph is laid out afresh for its place on the page: its text is the
    // same on paper whatever the window's shape, and never stretched: the
    // time axis's caption is as wide for its height as its font makes it.
    void printedTextKeepsItsProportions()
    {
        QList<QRectF> captions;
        double fontAspect = 0;
        for (const QSize window : {QSize(1700, 420), QSize(520, 1000)}) {
            GraphRig rig(3, 0);
            drawRecording(rig, window);
            QTemporaryDir out;
            const QString pdf = out.filePath("graph.pdf");
            QVERIFY(printToPdf(rig, pdf));
            QVERIFY(rig.boxes.texts().isEmpty());
            captions.append(pdfWordBox(pdf, "Elapsed"));
            QVERIFY(!captions.last().isEmpty());
            const QFontMetricsF metrics(rig.graph->CWGraph1->timeAxis()->titleFont());
            fontAspect = metrics.horizontalAdvance("Elapsed") / metrics.height();
        }
        const QString shown = QString("%1x%2 and %3x%4 pt")
                                  .arg(captions[0].width())
                                  .arg(captions[0].height())
                                  .arg(captions[1].width())
                                  .arg(captions[1].height());
        QVERIFY2(std::abs(captions[0].width() - captions[1].width()) < 0.5 &&
                     std::abs(captions[0].height() - captions[1].height()) < 0.5,
                 qPrintable(shown));
        for (const QRectF &caption : captions) {
            const double aspect = caption.width() / caption.height();
            QVERIFY2(std::abs(aspect / fontAspect - 1) < 0.2,
                     qPrintable(QString("%1 against %2 of the font").arg(aspect).arg(fontAspect)));
        }
    }

    // Without a saved record the header says so.
    void unsavedRecordingIsNamedInTheHeader()
    {
        GraphRig rig(1, 0);
        drawRecording(rig);
        QTemporaryDir out;
        const QString pdf = out.filePath("graph.pdf");
        QVERIFY(printToPdf(rig, pdf));
        const QString text = pdfText(pdf);
        QVERIFY2(
            text.split(u'\n', Qt::SkipEmptyParts).first().contains(QRegularExpression("KMA-3303T +unsaved recording$")),
            qPrintable(text));
    }

    void cancelledDialogPrintsNothing()
    {
        GraphRig rig(1, 0);
        drawRecording(rig);
        const GraphView::Look screen = rig.graph->CWGraph1->look();
        QTemporaryDir out;
        const QString pdf = out.filePath("graph.pdf");
        ScriptedModalRunner runner;
        bool wasPrintDialog = false;
        runner.script(printTo(pdf, QDialog::Rejected, &wasPrintDialog));
        rig.graph->cmdPrint_Click();
        QVERIFY(wasPrintDialog);
        QVERIFY(!QFileInfo::exists(pdf));
        QVERIFY(rig.boxes.texts().isEmpty());
        compareLooks(rig.graph->CWGraph1->look(), screen);
    }

    // A printer error is reported, and the screen look is back all the same.
    void printerErrorIsShownAndTheLookRestored()
    {
        GraphRig rig(1, 0);
        drawRecording(rig);
        const GraphView::Look screen = rig.graph->CWGraph1->look();
        QTemporaryDir out;
        const QString pdf = out.filePath("missing/folder/graph.pdf");
        ScriptedModalRunner runner;
        bool wasPrintDialog = false;
        runner.script(printTo(pdf, QDialog::Accepted, &wasPrintDialog));
        QTest::ignoreMessage(QtWarningMsg, "QPainter::begin(): Returned false");
        rig.graph->cmdPrint_Click();
        QCOMPARE(rig.boxes.texts(), QStringList{"cmdPrint_Click : Cannot write the file " + pdf});
        QCOMPARE(rig.boxes.shown().first().buttons, IMessageBox::Buttons::Ok);
        QVERIFY(!QFileInfo::exists(pdf));
        compareLooks(rig.graph->CWGraph1->look(), screen);
    }
};

QTEST_MAIN(TestPrint)
#include "tst_print.moc"
