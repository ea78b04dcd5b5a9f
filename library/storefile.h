#pragma once

#include <QByteArray>
#include <QString>

// Replaces a saved file as a whole: the new bytes go to a temporary file beside it, which is
// renamed over the old one only when every byte was written. A full disk or a read-only folder
// leaves the old file as it was.
class StoreFile
{
public:
    // Empty when the file now holds bytes; otherwise why it still holds what it held before.
    static QString write(const QString &path, const QByteArray &bytes);
};
