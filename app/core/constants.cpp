#include "constants.h"

namespace {

QString fromEnvironment(const char *name, const char *fallback)
{
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? QString::fromLatin1(fallback) : value;
}

// Scheme, host and port of the API address, without a path.
QString apiRoot()
{
    const QUrl api(Constants::apiBaseUrl());
    return api.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment
                        | QUrl::StripTrailingSlash).toString();
}

} // namespace

namespace Constants {

QString apiBaseUrl()
{
    QString url = fromEnvironment("TOLVANE_API_BASE_URL", TOLVANE_API_BASE_URL_DEFAULT);
    while (url.endsWith(QLatin1Char('/')))
        url.chop(1);
    return url;
}

QString keyRequestUrl()
{
    return apiRoot() + QStringLiteral("/create_account_app.php");
}

QString siteUrl()
{
    if (qEnvironmentVariableIsSet("TOLVANE_API_BASE_URL"))
        return apiRoot();
    return QString::fromLatin1(TOLVANE_SITE_URL_DEFAULT);
}

QString updateManifestUrl()
{
    return fromEnvironment("TOLVANE_UPDATE_MANIFEST_URL", TOLVANE_UPDATE_MANIFEST_URL_DEFAULT);
}

} // namespace Constants
