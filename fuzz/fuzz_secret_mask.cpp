// The log masking of replies. Every "$S" in the input becomes a planted secret; when the
// masked reply still holds it, the secret must also stand somewhere that is not a secret
// member (a name, another member's value), as an independent walk of the parse tells.

#include "fuzzsupport.h"

#include "api/secretmask.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    FuzzSupport::initialise(argc, argv);
    return 0;
}

namespace {

const QString kSecret = QStringLiteral("Zq7Xw9Vk2");

bool isSecretName(const QString &name)
{
    return name == QLatin1String("access_token") || name == QLatin1String("key");
}

// True when the secret shows outside the values of secret members.
bool showsInPlainSight(const QJsonValue &value)
{
    if (value.isString())
        return value.toString().contains(kSecret);
    if (value.isDouble())
        return QString::number(value.toDouble()).contains(kSecret);
    if (value.isArray()) {
        for (const QJsonValue &element : value.toArray()) {
            if (showsInPlainSight(element))
                return true;
        }
    }
    if (value.isObject()) {
        const QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it) {
            if (it.key().contains(kSecret))
                return true;
            if (!isSecretName(it.key()) && showsInPlainSight(it.value()))
                return true;
        }
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray reply(reinterpret_cast<const char *>(data), int(size));
    reply.replace("$S", kSecret.toUtf8());
    const QByteArray logged = SecretMask::maskReplyBody(reply);
    if (!logged.contains(kSecret.toUtf8()))
        return 0;
    // With no spelling of a secret member's name anywhere, no member is secret: what shows is
    // an ordinary value (the parsed form may even have dropped it, as a repeated name).
    if (!reply.contains("key") && !reply.contains("access_token") && !reply.contains("\\u"))
        return 0;

    const QJsonDocument document = QJsonDocument::fromJson(reply);
    FuzzSupport::check(!document.isNull(), "an unparsed reply naming a secret is not logged");
    const QJsonValue root = document.isObject() ? QJsonValue(document.object()) : QJsonValue(document.array());
    FuzzSupport::check(showsInPlainSight(root), "no planted secret reaches the log");
    return 0;
}
