#include "secretmask.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStringList>

namespace {

const QString kMasked = QStringLiteral("********");
const QStringList kSecretMembers = {QStringLiteral("access_token"), QStringLiteral("key")};

void collectSecrets(const QJsonValue &value, QStringList &secrets)
{
    if (value.isArray()) {
        for (const QJsonValue &element : value.toArray())
            collectSecrets(element, secrets);
    } else if (value.isObject()) {
        const QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it) {
            if (kSecretMembers.contains(it.key()) && it.value().isString()) {
                if (!it.value().toString().isEmpty())
                    secrets.append(it.value().toString());
            } else {
                collectSecrets(it.value(), secrets);
            }
        }
    }
}

} // namespace

namespace SecretMask {

QString mask(const QString &secret)
{
    return secret.isEmpty() ? QString() : kMasked;
}

QByteArray maskReplyBody(const QByteArray &body)
{
    // Library pages run to megabytes and never carry these members: skip the work for them.
    if (!body.contains("access_token") && !body.contains("key") && !body.contains("\\u"))
        return body;

    static const QRegularExpression member(
        QStringLiteral(R"RE(("(?:access_token|key)"\s*:\s*")((?:[^"\\]|\\.)*)")RE"));
    QString text = QString::fromUtf8(body);
    text.replace(member, QStringLiteral("\\1") + kMasked + QStringLiteral("\""));
    QByteArray masked = text.toUtf8();

    // Member names written with escapes slip past the pattern; then log the re-encoded value.
    QStringList secrets;
    const QJsonDocument document = QJsonDocument::fromJson(body);
    collectSecrets(document.isObject() ? QJsonValue(document.object()) : QJsonValue(document.array()),
                   secrets);
    for (const QString &secret : qAsConst(secrets)) {
        if (masked.contains(secret.toUtf8())) {
            const QJsonValue value = maskJson(document.isObject() ? QJsonValue(document.object())
                                                                  : QJsonValue(document.array()));
            return value.isObject() ? QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact)
                                    : QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact);
        }
    }
    return masked;
}

QJsonValue maskJson(const QJsonValue &value)
{
    if (value.isArray()) {
        QJsonArray array = value.toArray();
        for (int i = 0; i < array.size(); ++i)
            array[i] = maskJson(array.at(i));
        return array;
    }
    if (value.isObject()) {
        QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it) {
            if (kSecretMembers.contains(it.key()) && it.value().isString())
                it.value() = mask(it.value().toString());
            else
                it.value() = maskJson(it.value());
        }
        return object;
    }
    return value;
}

QByteArray maskHeaderValue(const QByteArray &name, const QByteArray &value)
{
    if (name.compare("Authorization", Qt::CaseInsensitive) != 0)
        return value;
    const int space = value.indexOf(' ');
    const QByteArray scheme = space < 0 ? QByteArray() : value.left(space + 1);
    return scheme + mask(QString::fromLatin1(value.mid(scheme.size()))).toLatin1();
}

} // namespace SecretMask
