#include "storefile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

QString StoreFile::write(const QString &path, const QByteArray &bytes)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        return QStringLiteral("cannot create the folder %1").arg(QDir::toNativeSeparators(folder));
    QSaveFile file(path);
    // Unbuffered, so that a write the disk refuses fails here: a buffered one fails in the flush
    // at commit, and the save would be committed all the same.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return file.errorString();
    qint64 written = 0;
    while (written < bytes.size()) {
        // A short write leaves the reason to the next one.
        const qint64 count = file.write(bytes.constData() + written, bytes.size() - written);
        if (count <= 0) {
            const QString error = file.errorString();
            file.cancelWriting();
            return error;
        }
        written += count;
    }
    if (!file.flush() || !file.commit())
        return file.errorString();
    return QString();
}
