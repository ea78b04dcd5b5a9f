#pragma once

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QStringList>

// The digest, as the service writes it, of these bytes.
inline QString md5(const QByteArray &data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex());
}

// Empty when the file cannot be read.
inline QString md5OfFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? md5(file.readAll()) : QString();
}

// Every file below root, hidden ones too, as sorted paths relative to it.
inline QStringList filesBelow(const QString &root)
{
    QStringList found;
    for (QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories); it.hasNext();)
        found.append(QDir(root).relativeFilePath(it.next()));
    found.sort();
    return found;
}
