#include "platform/core/VLError.h"

#include <cstring>

VLError::VLError(QString domain, qint64 code, QVariantMap userInfo)
    : m_domain(std::move(domain))
    , m_code(code)
    , m_userInfo(std::move(userInfo))
{
}

VLError VLError::posix(int errorNumber)
{
    return VLError(posixDomain, errorNumber);
}

QString VLError::description() const
{
    if (isNull())
        return QStringLiteral("(no error)");
    QString text = m_domain + u' ' + QString::number(m_code);
    if (m_domain == posixDomain)
        text += u" (" + systemMessage() + u')';
    return text;
}

QString VLError::systemMessage() const
{
    return m_domain == posixDomain ? QString::fromLocal8Bit(std::strerror(int(m_code))) : QString();
}
