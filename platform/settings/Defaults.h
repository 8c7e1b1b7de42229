#pragma once

#include <QMutex>
#include <QObject>
#include <QSettings>
#include <QVariantMap>

#include <memory>

namespace platform {

// The user defaults: values stored in QSettings (organisation "nimbrel", application "Vaultine")
// over defaults registered at run time. Every change made through this object is announced with
// changed(key), on the thread that made it, after the value is in place. Safe from any thread.
class Defaults final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Defaults)

public:
    // The process-wide defaults.
    static Defaults &standard();

    // The defaults in the standard location.
    explicit Defaults(QObject *parent = nullptr);
    // Defaults kept in an INI file of their own (tests, tools).
    explicit Defaults(const QString &fileName, QObject *parent = nullptr);
    ~Defaults() override;

    // Registered values answer for keys that hold no stored value; they are never written.
    void registerDefaults(const QVariantMap &defaults);

    // The stored value, else the registered one, else an invalid QVariant.
    QVariant value(const QString &key) const;
    bool boolValue(const QString &key) const;
    qint64 integerValue(const QString &key) const;
    QString stringValue(const QString &key) const;
    QStringList stringListValue(const QString &key) const;

    void setValue(const QString &key, const QVariant &value);
    void remove(const QString &key);
    // Whether a value is stored under the key (registered defaults do not count).
    bool contains(const QString &key) const;
    // Writes pending changes to permanent storage.
    void synchronize();

signals:
    void changed(const QString &key);

private:
    mutable QMutex m_mutex;
    std::unique_ptr<QSettings> m_settings;
    QVariantMap m_registered;
};

} // namespace platform
