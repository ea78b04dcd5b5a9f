#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QString>

// Keeps credentials out of the log: the lines around them stay as they are, only the secret
// values are replaced.
namespace SecretMask {

// What a secret value is replaced with; empty values stay empty so the log still shows them.
QString mask(const QString &secret);

// The reply as it may be logged: its "access_token" and "key" string values masked, however
// spelled. A reply that mentions them but does not parse is replaced by a note of its size.
QByteArray maskReplyBody(const QByteArray &body);

// The same masking applied to a parsed value, at any depth.
QJsonValue maskJson(const QJsonValue &value);

// Longest reply text a log line carries: a page of a large library runs to hundreds of
// megabytes, and every refresh would add it to the log.
constexpr int kMaxLoggedBytes = 64 * 1024;

// The reply body as a log line may carry it: masked, then cut to kMaxLoggedBytes with its full
// size noted.
QByteArray loggedBody(const QByteArray &body);
// A value from the service as a log line may carry it: masked, as compact JSON (a text as
// itself), cut alike.
QString loggedJson(const QJsonValue &value);

// A request header value as it may be logged: bearer tokens are masked.
QByteArray maskHeaderValue(const QByteArray &name, const QByteArray &value);

} // namespace SecretMask
