#pragma once

#include <QString>
#include <QUrl>

// Application-wide constants. The service addresses are compile-time defaults that the
// environment may override (TOLVANE_API_BASE_URL, TOLVANE_UPDATE_MANIFEST_URL), so that the
// program, the tools and the tests can be pointed at a local storefront.
namespace Constants {

inline const QString ApplicationName = QStringLiteral("Tolvane");
inline const QString OrganizationName = QStringLiteral("Quenlith");
inline const QString ApplicationVersion = QStringLiteral("3.0.1.3");
inline const QString BuildDate = QStringLiteral("2021-01-19 12:00:00");

// Dates in service replies and saved files.
inline const QString ServiceDateFormat = QStringLiteral("yyyy-MM-ddThh:mm:ss");
// Dates in the update manifest, the build date, checksum dates and log lines.
inline const QString PlainDateFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss");

// "https://host/api/v1", or the value of TOLVANE_API_BASE_URL.
QString apiBaseUrl();
// The key page at the root of the API host: scheme, host and port follow apiBaseUrl().
QString keyRequestUrl();
// The storefront's public web site; follows the scheme, host and port of an overridden API address.
QString siteUrl();
// The three-line update manifest, or the value of TOLVANE_UPDATE_MANIFEST_URL.
QString updateManifestUrl();

} // namespace Constants
