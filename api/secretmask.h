#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QString>

// Keeps credentials out of the log: the lines around them stay as they are, only the secret
// values are replaced.
namespace SecretMask {

// What a secret value is replaced with; empty values stay empty so the log still shows them.
QString mask(const QString &secret);

// The raw reply bytes with the string values of "access_token" and "key" members masked.
QByteArray maskReplyBody(const QByteArray &body);

// The same masking applied to a parsed value, at any depth.
QJsonValue maskJson(const QJsonValue &value);

// A request header value as it may be logged: bearer tokens are masked.
QByteArray maskHeaderValue(const QByteArray &name, const QByteArray &value);

} // namespace SecretMask
