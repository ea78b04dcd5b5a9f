#pragma once

#include <QDateTime>
#include <QString>
#include <QUrl>

class QByteArray;

// The published description of the newest program: three lines, version, date and the
// installer's address (relative to the manifest's own address when not absolute).
class UpdateManifest
{
public:
    static UpdateManifest parse(const QByteArray &body, const QUrl &base);

    QString version() const { return m_version; }
    QDateTime date() const { return m_date; }
    QUrl downloadUrl() const { return m_downloadUrl; }

    // Whether the lines make a manifest at all: a readable date and an address.
    bool isValid() const;
    bool isNewerThan(const QDateTime &buildDate) const;
    // The installer is a program that will run: only from where nobody can change it on the way.
    bool downloadIsSecure() const;

private:
    QString m_version;
    QDateTime m_date;
    QUrl m_downloadUrl;
};
