#pragma once

#include <QString>
#include <QUrl>

#include "platform/files/StatusWalk.h"

#include <functional>

// Formats numbers the way size texts show them: round half to even, at least one integer digit,
// at most maximumFractionDigits (trailing zeros left out), no grouping, the current locale's
// decimal separator.
class NBSizeFormatter final
{
public:
    explicit NBSizeFormatter(int maximumFractionDigits = 2) : m_maximumFractionDigits(maximumFractionDigits) {}

    int maximumFractionDigits() const { return m_maximumFractionDigits; }
    void setMaximumFractionDigits(int digits) { m_maximumFractionDigits = digits; }

    // Null when the value cannot be formatted (not finite, or out of range).
    QString stringFromNumber(double value) const;
    // numerator / denominator, rounded exactly; null for a zero denominator.
    QString stringFromFraction(quint64 numerator, quint64 denominator) const;

private:
    int m_maximumFractionDigits;
};

// How much disk space files and folder trees take, and the short texts that show it.
// Sizes are allocated space (512-byte blocks) unless the uncompressed switch is on.
// Every operation may run on any thread.
class NBFileSizer final
{
public:
    NBFileSizer() = delete;

    static void setReturnUncompressedFileSize(bool uncompressed);
    static NBSizeFormatter defaultSizeFormatter();

    static quint64 itemSizeWithFTSEntry(const platform::StatusWalk::Entry &entry);
    static quint64 itemSizeAtURL(const QUrl &url);
    static quint64 itemSizeAtPath(const QString &path);
    static quint64 alternativeItemSizeAtPath(const QString &path);
    static quint64 originalItemSizeAtPath(const QString &path);
    // Computes itemSizeAtPath on a background work thread and calls the block there.
    static void fetchItemSizeAtURLCompletionBlock(const QUrl &url, std::function<void(quint64 size)> completion);

    static void restorePathsToBeStopped();
    static void stopScanningForPath(const QString &path);
    static quint64 itemSizeAtPathAbleToStop(const QString &path);

    static QString displayItemSizeAtPath(const QString &path);
    static QString nonLocalizedDisplayItemSizeFromSize(quint64 size);
    static QString displayItemSizeFromSize(quint64 size);
    static QString displayItemSizeFromSizeInBase2(quint64 size);
    static QString displayItemSizeFromSizeBase2Localized(quint64 size, bool base2, bool localized);
    static QString displayItemSizeNumberFromSize(quint64 size);
    static QString displayItemSizeDimensionFromSize(quint64 size);
};
