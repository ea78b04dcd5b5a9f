#include "md5digest.h"

#include <QCryptographicHash>

#include <openssl/evp.h>

Md5Digest::Md5Digest()
    : m_context(EVP_MD_CTX_new())
{
    if (m_context && EVP_DigestInit_ex(m_context, EVP_md5(), nullptr) != 1) {
        EVP_MD_CTX_free(m_context);
        m_context = nullptr;
    }
    if (!m_context)
        m_fallback = std::make_unique<QCryptographicHash>(QCryptographicHash::Md5);
}

Md5Digest::~Md5Digest()
{
    EVP_MD_CTX_free(m_context);
}

void Md5Digest::addData(const char *data, qint64 length)
{
    if (m_context)
        EVP_DigestUpdate(m_context, data, size_t(length));
    else
        m_fallback->addData(data, int(length));
}

QString Md5Digest::hexResult()
{
    QByteArray digest;
    if (m_context) {
        unsigned char bytes[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        if (EVP_DigestFinal_ex(m_context, bytes, &length) != 1)
            return QString();
        digest = QByteArray(reinterpret_cast<const char *>(bytes), int(length));
    } else {
        digest = m_fallback->result();
    }
    return QString::fromLatin1(digest.toHex());
}
