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

// A request header value as it may be logged: bearer tokens are masked.
QByteArray maskHeaderValue(const QByteArray &name, const QByteArray &value);

} // namespace SecretMask
