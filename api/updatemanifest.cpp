#include "updatemanifest.h"

#include "api/networkreplywrapper.h"
#include "app/core/constants.h"

#include <QStringList>

UpdateManifest UpdateManifest::parse(const QByteArray &body, const QUrl &base)
{
    QStringList lines = QString::fromUtf8(body).split(QLatin1Char('\n'));
    for (QString &line : lines)
        line = line.trimmed();
    UpdateManifest manifest;
    manifest.m_version = lines.value(0);
    manifest.m_date = QDateTime::fromString(lines.value(1), Constants::PlainDateFormat);
    manifest.m_downloadUrl = QUrl(lines.value(2), QUrl::TolerantMode);
    if (!manifest.m_downloadUrl.isEmpty() && manifest.m_downloadUrl.isRelative())
        manifest.m_downloadUrl = base.resolved(manifest.m_downloadUrl);
    return manifest;
}

bool UpdateManifest::isValid() const
{
    return m_date.isValid() && m_downloadUrl.isValid() && !m_downloadUrl.isEmpty();
}

bool UpdateManifest::isNewerThan(const QDateTime &buildDate) const
{
    return isValid() && buildDate < m_date;
}

bool UpdateManifest::downloadIsSecure() const
{
    return !m_downloadUrl.host().isEmpty() && NetworkReplyWrapper::isSecureEnough(m_downloadUrl);
}
