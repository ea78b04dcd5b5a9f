#include "secretmask.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

namespace {

const QString kMasked = QStringLiteral("********");
const QStringList kSecretMembers = {QStringLiteral("access_token"), QStringLiteral("key")};

// Whatever a secret member holds goes, names and nesting included: only an empty text or a
// value that cannot carry a secret (null, true, false) is shown as it is.
QJsonValue maskAll(const QJsonValue &value)
{
    if (value.isString())
        return SecretMask::mask(value.toString());
    if (value.isNull() || value.isUndefined() || value.isBool())
        return value;
    return kMasked;
}

QByteArray cut(const QByteArray &text)
{
    if (text.size() <= SecretMask::kMaxLoggedBytes)
        return text;
    return text.left(SecretMask::kMaxLoggedBytes) + QByteArrayLiteral("... <cut; ")
        + QByteArray::number(text.size()) + QByteArrayLiteral(" bytes in all>");
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
    // Any spelling of the two names holds either the name itself or a \u escape.
    if (!body.contains("access_token") && !body.contains("key") && !body.contains("\\u"))
        return body;

    // Masked on the parsed reply, so that no spelling of a name or a value escapes it.
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error == QJsonParseError::NoError) {
        if (document.isObject())
            return QJsonDocument(maskJson(document.object()).toObject()).toJson(QJsonDocument::Compact);
        if (document.isArray())
            return QJsonDocument(maskJson(document.array()).toArray()).toJson(QJsonDocument::Compact);
    }
    // Without a parse there is no telling where a secret sits: none of it is logged.
    return QByteArrayLiteral("<") + QByteArray::number(body.size())
        + QByteArrayLiteral(" bytes that are not JSON, not logged>");
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
            if (kSecretMembers.contains(it.key()))
                it.value() = maskAll(it.value());
            else
                it.value() = maskJson(it.value());
        }
        return object;
    }
    return value;
}

QByteArray loggedBody(const QByteArray &body)
{
    return cut(maskReplyBody(body));
}

QString loggedJson(const QJsonValue &value)
{
    const QJsonValue masked = maskJson(value);
    QByteArray text;
    if (masked.isObject())
        text = QJsonDocument(masked.toObject()).toJson(QJsonDocument::Compact);
    else if (masked.isArray())
        text = QJsonDocument(masked.toArray()).toJson(QJsonDocument::Compact);
    else if (masked.isNull() || masked.isUndefined())
        text = QByteArrayLiteral("null");
    else
        text = masked.toVariant().toString().toUtf8();
    return QString::fromUtf8(cut(text));
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
