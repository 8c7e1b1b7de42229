#pragma once

#include <QMetaType>
#include <QString>
#include <QVariantMap>

// A failure as a value: a domain, an integer code and an information map, like the errors
// the rest of the system passes around. A default-constructed error is "no error".
class VLError final
{
public:
    VLError() = default;
    VLError(QString domain, qint64 code, QVariantMap userInfo = {});

    // An error of the POSIX domain for a system error number.
    static VLError posix(int errorNumber);

    static inline const QString posixDomain = QStringLiteral("NSPOSIXErrorDomain");
    // The information keys of the texts an alert shows for an error.
    static inline const QString localizedDescriptionKey = QStringLiteral("NSLocalizedDescription");
    static inline const QString localizedRecoverySuggestionKey = QStringLiteral("NSLocalizedRecoverySuggestion");

    bool isNull() const { return m_domain.isEmpty(); }
    explicit operator bool() const { return !isNull(); }

    const QString &domain() const { return m_domain; }
    qint64 code() const { return m_code; }
    const QVariantMap &userInfo() const { return m_userInfo; }
    void setUserInfo(QVariantMap userInfo) { m_userInfo = std::move(userInfo); }

    // A readable form for logs: "domain code (description)".
    QString description() const;
    // The system's own words for a POSIX error ("No space left on device"); empty for others.
    QString systemMessage() const;

    friend bool operator==(const VLError &a, const VLError &b)
    {
        return a.m_domain == b.m_domain && a.m_code == b.m_code;
    }

private:
    QString m_domain;
    qint64 m_code = 0;
    QVariantMap m_userInfo;
};

Q_DECLARE_METATYPE(VLError)
