#pragma once

#include <QDateTime>
#include <QMetaType>
#include <QString>

// How a transfer ended: the download manager applies it to the file.
struct DownloadResult {
    enum Outcome {
        // The copy is under its final name and matches a digest the service named.
        Verified,
        // The copy is under its final name, but the service named no digest to check it by.
        Unconfirmed,
        // There is no usable copy.
        Failed
    };
    Outcome outcome = Failed;
    // Why it failed, or why the copy is not trusted.
    QString errorText;
    // The bytes kept on disk to resume from after a failure; -1 when the record stands.
    qint64 resumeFrom = -1;
    // Whether a copy was checked, its MD5 digest and its time on disk.
    bool checked = false;
    QString digest;
    QDateTime localLastModified;
    // The service's date of the version fetched.
    QDateTime lastModified;
};

Q_DECLARE_METATYPE(DownloadResult)
