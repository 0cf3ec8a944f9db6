#include "DataFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace qle {
namespace {

bool isWritableFolder(const QString &path)
{
    const QFileInfo info(path);
    return info.isDir() && info.isWritable();
}

bool seed(const QString &folder, const QString &shipped)
{
    const QString target = QDir(folder).filePath(DataFolder::CatalogueFileName);
    if (QFileInfo::exists(target) || shipped.isEmpty() || !QFileInfo::exists(shipped))
        return false;
    QDir().mkpath(folder);
    if (!QFile::copy(shipped, target))
        return false;
    // The shipped copy may be read-only; the working copy must not be.
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    return true;
}

} // namespace

DataFolder::Choice DataFolder::resolve(const QString &overrideDir, const QString &executableDir,
                                       const QString &perUserDir, const QString &shippedCatalogue)
{
    if (!overrideDir.isEmpty())
        return {QDir(overrideDir).absolutePath(), false};
    const QString folder = isWritableFolder(executableDir) ? executableDir : perUserDir;
    const bool seeded = seed(folder, shippedCatalogue);
    return {QDir(folder).absolutePath(), seeded};
}

QString DataFolder::shippedCatalogue(const QString &executableDir)
{
    return QDir(executableDir).absoluteFilePath(QStringLiteral("../share/qle/") + CatalogueFileName);
}

} // namespace qle
