#pragma once

#include "engine/archive/VLArchiveBytes.h"
#include "engine/archive/VLEncryptedArchive.h"
#include "platform/core/Log.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTest>

#include <functional>

// A delegate that answers what a test asks it to and records every callback in order.
class RecordingDelegate final : public VLEncryptedArchiveDelegate
{
public:
    Callbacks answered = Callback::StartedOperation | Callback::OperationProgress | Callback::OperationError
                         | Callback::FinishedOperation | Callback::PasswordNeeded | Callback::HMACMismatch;
    QStringList events;
    QList<QVariantMap> errors;
    QList<QVariantMap> progress;
    QStringList passwords; // handed out one by one; cancel when none is left
    int passwordRequests = 0;
    quint64 hmacAction = 1;
    QList<VLEncryptedArchiveItemPtr> mismatches;
    int hmacMismatchCount = 0;
    std::function<bool(const QVariantMap &)> stopWhen;
    std::function<void()> whenError; // runs first in the error callback

    Callbacks answeredCallbacks() const override { return answered; }
    void encryptedArchiveStartedOperation(VLEncryptedArchive *, const QVariantMap &info) override
    {
        events << QStringLiteral("started ") + info.value(VLEncryptedArchiveConstants::keyOperation).toString();
    }
    void encryptedArchiveOperationProgress(VLEncryptedArchive *, const QVariantMap &info, bool &cancel) override
    {
        progress << info;
        if (stopWhen && stopWhen(info))
            cancel = true;
    }
    void encryptedArchiveOperationError(VLEncryptedArchive *, const QVariantMap &info) override
    {
        if (whenError)
            whenError();
        errors << info;
        events << QStringLiteral("error %1").arg(errorCode(info));
    }
    void encryptedArchiveFinishedOperation(VLEncryptedArchive *, const QVariantMap &info) override
    {
        events << QStringLiteral("finished ") + info.value(VLEncryptedArchiveConstants::keyOperation).toString();
    }
    void encryptedArchivePasswordNeeded(VLEncryptedArchive *archive, bool &cancel) override
    {
        ++passwordRequests;
        if (passwords.isEmpty()) {
            cancel = true;
            return;
        }
        archive->setPassword(passwords.takeFirst());
    }
    void encryptedArchiveHMACMismatch(VLEncryptedArchive *, const VLEncryptedArchiveItemPtr &item,
                                      quint64 &action) override
    {
        ++hmacMismatchCount;
        mismatches << item;
        action = hmacAction;
    }

    static qint64 errorCode(const QVariantMap &info)
    {
        return info.value(VLEncryptedArchiveConstants::keyError).value<VLError>().code();
    }
    qint64 lastError() const { return errors.isEmpty() ? 0 : errorCode(errors.last()); }
    VLError lastUnderlying() const
    {
        return errors.isEmpty() ? VLError()
                                : errors.last().value(VLEncryptedArchiveConstants::keyUnderlyingError).value<VLError>();
    }
    VLEncryptedArchiveItemPtr lastErrorItem() const
    {
        return errors.isEmpty()
                   ? nullptr
                   : errors.last().value(VLEncryptedArchiveConstants::keyItem).value<VLEncryptedArchiveItemPtr>();
    }
};

// Collects log lines while it lives.
class LogCapture final
{
public:
    LogCapture()
    {
        platform::setLogSink([this](const QString &line) { lines << line; });
    }
    ~LogCapture() { platform::setLogSink({}); }
    bool contains(const QString &text) const
    {
        for (const QString &line : lines) {
            if (line.contains(text))
                return true;
        }
        return false;
    }
    QStringList lines;
};

// Little-endian field values, as the container stores them.
inline QByteArray u16(quint16 v)
{
    QByteArray out;
    VLArchiveBytes::putU16(out, v);
    return out;
}

inline QByteArray u32(quint32 v)
{
    QByteArray out;
    VLArchiveBytes::putU32(out, v);
    return out;
}

inline QByteArray u64(quint64 v)
{
    QByteArray out;
    VLArchiveBytes::putU64(out, v);
    return out;
}

inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(path.left(path.lastIndexOf(u'/')));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// Bytes that compress well but not trivially.
inline QByteArray sampleText(qsizetype size, quint32 seed = 1)
{
    QByteArray out;
    out.reserve(size + 32);
    quint32 state = seed;
    while (out.size() < size) {
        state = state * 1103515245u + 12345u;
        out += "word" + QByteArray::number((state >> 16) % 500) + ' ';
    }
    out.truncate(size);
    return out;
}

inline QByteArray sampleNoise(qsizetype size, quint32 seed = 7)
{
    QByteArray out(size, Qt::Uninitialized);
    quint32 state = seed;
    for (qsizetype i = 0; i < size; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        out[i] = char(state & 0xff);
    }
    return out;
}

// Opens a container with a password and no other delegate help; returns the delegate's record.
inline void openWith(VLEncryptedArchive &archive, RecordingDelegate &delegate, const QString &path,
                     const QString &password)
{
    archive.setDelegate(&delegate);
    archive.setPassword(password);
    archive.openArchive(path);
}
