// Build-time tool: renders the application's SVG icon to PNG files for the
// hicolor icon theme, using Qt's SVG image plugin (no SVG headers needed).
//
//   qle_render_icon ICON.svg OUTDIR NAME SIZE...
//
// writes OUTDIR/<SIZE>x<SIZE>/apps/NAME.png for each SIZE. The picture keeps
// its proportions and is centred on a transparent square. Exits non-zero, and
// writes nothing for that size, when the SVG cannot be read or renders to
// nothing.

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QTextStream>

#include <algorithm>

namespace {

int fail(const QString &message)
{
    QTextStream(stderr) << "qle_render_icon: " << message << Qt::endl;
    return 1;
}

qsizetype visiblePixels(const QImage &image)
{
    qsizetype count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) > 0)
                ++count;
        }
    }
    return count;
}

} // namespace

int main(int argc, char *argv[])
{
    // Fonts for any text in the picture come from the offscreen platform's
    // font database; no display is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 5)
        return fail("usage: qle_render_icon ICON.svg OUTDIR NAME SIZE...");
    const QString svg = args.at(1);
    const QDir outDir(args.at(2));
    const QString name = args.at(3);

    if (!QFileInfo(svg).isFile())
        return fail(svg + ": no such file");
    QImageReader probe(svg, "svg");
    if (!probe.canRead())
        return fail(svg + ": cannot read it as SVG (" + probe.errorString() +
                    "); Qt's SVG image plugin comes with the libqt6svg6 package");
    const QSize natural = probe.size();
    if (natural.isEmpty())
        return fail(svg + ": the picture has no size");

    for (int i = 4; i < args.size(); ++i) {
        bool number = false;
        const int size = args.at(i).toInt(&number);
        if (!number || size < 1 || size > 4096)
            return fail("not a size: " + args.at(i));

        QImageReader reader(svg, "svg");
        // Proportions kept: the longer side becomes size pixels.
        const double factor = std::min(double(size) / natural.width(), double(size) / natural.height());
        const QSize scaled(std::max(1, qRound(natural.width() * factor)),
                           std::max(1, qRound(natural.height() * factor)));
        reader.setScaledSize(scaled);
        const QImage picture = reader.read();
        if (picture.isNull())
            return fail(svg + ": " + reader.errorString());

        QImage square(size, size, QImage::Format_ARGB32);
        square.fill(Qt::transparent);
        {
            QPainter painter(&square);
            painter.drawImage((size - picture.width()) / 2, (size - picture.height()) / 2, picture);
        }
        if (visiblePixels(square) == 0)
            return fail(svg + QString(": rendered to nothing at %1 pixels").arg(size));

        const QString folder = QString("%1x%1/apps").arg(size);
        if (!outDir.mkpath(folder))
            return fail("cannot create " + outDir.filePath(folder));
        const QString target = outDir.filePath(folder + "/" + name + ".png");
        if (!square.save(target, "PNG"))
            return fail("cannot write " + target);
    }
    return 0;
}
