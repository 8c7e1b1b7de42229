#include "platform/settings/Defaults.h"

#include "platform/core/BundleInfo.h"

namespace platform {

Defaults &Defaults::standard()
{
    static Defaults defaults;
    return defaults;
}

Defaults::Defaults(QObject *parent)
    : QObject(parent)
    , m_settings(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                             QString::fromLatin1(bundle::organisation),
                                             QString::fromLatin1(bundle::name)))
{
}

Defaults::Defaults(const QString &fileName, QObject *parent)
    : QObject(parent)
    , m_settings(std::make_unique<QSettings>(fileName, QSettings::IniFormat))
{
}

Defaults::~Defaults() = default;

void Defaults::registerDefaults(const QVariantMap &defaults)
{
    const QMutexLocker locker(&m_mutex);
    for (auto it = defaults.cbegin(); it != defaults.cend(); ++it)
        m_registered.insert(it.key(), it.value());
}

QVariant Defaults::value(const QString &key) const
{
    const QMutexLocker locker(&m_mutex);
    if (m_settings->contains(key))
        return m_settings->value(key);
    return m_registered.value(key);
}

bool Defaults::boolValue(const QString &key) const
{
    return value(key).toBool();
}

qint64 Defaults::integerValue(const QString &key) const
{
    return value(key).toLongLong();
}

QString Defaults::stringValue(const QString &key) const
{
    return value(key).toString();
}

QStringList Defaults::stringListValue(const QString &key) const
{
    return value(key).toStringList();
}

void Defaults::setValue(const QString &key, const QVariant &value)
{
    {
        const QMutexLocker locker(&m_mutex);
        m_settings->setValue(key, value);
    }
    emit changed(key);
}

void Defaults::remove(const QString &key)
{
    {
        const QMutexLocker locker(&m_mutex);
        m_settings->remove(key);
    }
    emit changed(key);
}

bool Defaults::contains(const QString &key) const
{
    const QMutexLocker locker(&m_mutex);
    return m_settings->contains(key);
}

void Defaults::synchronize()
{
    const QMutexLocker locker(&m_mutex);
    m_settings->sync();
}

} // namespace platform
