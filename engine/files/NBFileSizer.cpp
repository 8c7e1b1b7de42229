#include "engine/files/NBFileSizer.h"

#include "platform/core/Log.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/files/ItemBlockSize.h"
#include "platform/localization/Localization.h"

#include <QFile>
#include <QLocale>
#include <QStringList>

#include <array>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <mutex>

namespace {

std::atomic<bool> returnUncompressedSize = false;

std::mutex stopListMutex;
QStringList &stopList()
{
    static QStringList list;
    return list;
}

constexpr quint64 blockUnit = 512;
constexpr qint64 largeEntry = qint64(1) << 41; // 2 TiB

constexpr std::array<quint64, 5> decimalDivisors = {1000ull, 1000000ull, 1000000000ull, 1000000000000ull,
                                                    1000000000000000ull};
constexpr std::array<quint64, 5> binaryDivisors = {1024ull, 1048576ull, 1073741824ull, 1099511627776ull,
                                                   1125899906842624ull};
constexpr char unitLetters[] = "KMGTPE";

// Units of the size texts, as the translations know them.
constexpr std::array<const char *, 5> unitTexts = {
    QT_TRANSLATE_NOOP("Localizable", "KB"), QT_TRANSLATE_NOOP("Localizable", "MB"),
    QT_TRANSLATE_NOOP("Localizable", "GB"), QT_TRANSLATE_NOOP("Localizable", "TB"),
    QT_TRANSLATE_NOOP("Localizable", "PB")};

QString localized(const char *key)
{
    return platform::localizedString(key);
}

QString zeroKB()
{
    return localized(QT_TRANSLATE_NOOP("Localizable", "Zero\u00a0KB"));
}

QString errorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The formatters for 0 to 9 fraction digits, made once.
const NBSizeFormatter &cachedFormatter(int fractionDigits)
{
    static const std::array<NBSizeFormatter, 10> formatters = [] {
        std::array<NBSizeFormatter, 10> made;
        for (int digits = 0; digits < 10; ++digits)
            made[size_t(digits)].setMaximumFractionDigits(digits);
        return made;
    }();
    return formatters[size_t(qBound(0, fractionDigits, 9))];
}

// "123" and "4500" with 4 fraction digits gives "123.45" in the current locale.
QString joinDigits(const QString &integer, QString fraction)
{
    while (fraction.endsWith(u'0'))
        fraction.chop(1);
    if (fraction.isEmpty())
        return integer;
    return integer + QLocale().decimalPoint() + fraction;
}

quint64 blocksToBytes(quint64 blocks)
{
    // Blocks are already in 512-byte units here; the division rounds up for any other unit.
    return (blocks * 512 + blockUnit - 1) / blockUnit * blockUnit;
}

// The size of one walk entry: allocated 512-byte blocks, or logical bytes with the switch on.
// Folders count for nothing of their own, as on the file systems these texts were made for,
// so that a folder's size is the sum of what it holds.
quint64 entrySize(const platform::StatusWalk::Entry &entry)
{
    using Kind = platform::StatusWalk::Kind;
    if (entry.kind == Kind::Directory || entry.kind == Kind::DirectoryPostOrder)
        return 0;
    if (returnUncompressedSize.load()) {
        const quint64 size = quint64(qMax<qint64>(0, entry.size));
        const quint64 block = quint64(qMax<qint64>(0, entry.blockSize));
        return block ? (size + block - 1) / block * block : size;
    }
    if (entry.size >= largeEntry)
        return quint64(entry.size) / blockUnit;
    return quint64(qMax<qint64>(0, entry.allocatedBlocks));
}

bool isCountless(platform::StatusWalk::Kind kind)
{
    using Kind = platform::StatusWalk::Kind;
    return kind == Kind::UnreadableDirectory || kind == Kind::NoStatus;
}

void logEntryError(const QString &path, int error)
{
    if (error != ENOENT)
        platform::log(path + u": " + errorText(error));
}

// Sums a tree; stopRoot, when given, is looked up in the stop list before each entry.
quint64 treeSize(const QString &path, const QString *stopRoot)
{
    if (path.isEmpty())
        return 0;
    quint64 total = 0;
    bool stopped = false;
    platform::StatusWalk::Options options;
    options.reportUnreadable = true;
    const int error = platform::StatusWalk::walk(path, options, [&](const platform::StatusWalk::Entry &entry) {
        if (stopRoot) {
            std::lock_guard lock(stopListMutex);
            if (stopList().removeOne(*stopRoot)) {
                stopped = true;
                return false;
            }
        }
        if (isCountless(entry.kind))
            logEntryError(entry.path, entry.error);
        else
            total += entrySize(entry);
        return true;
    });
    if (stopped)
        return 0;
    if (error)
        logEntryError(path, error);
    return returnUncompressedSize.load() ? total : blocksToBytes(total);
}

void logAttributeError(int error)
{
    platform::log(QStringLiteral("Attribute getting error: %1").arg(errorText(error)));
}

} // namespace

QString NBSizeFormatter::stringFromNumber(double value) const
{
    if (!std::isfinite(value) || std::fabs(value) >= 1e18)
        return {};
    // to_chars rounds the exact binary value, ties to even, independent of the C locale.
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed,
                                      m_maximumFractionDigits);
    if (result.ec != std::errc())
        return {};
    const QString text = QString::fromLatin1(buffer, result.ptr - buffer);
    const qsizetype dot = text.indexOf(u'.');
    QString integer = dot < 0 ? text : text.left(dot);
    if (integer == u"-0")
        integer = QStringLiteral("0");
    return joinDigits(integer, dot < 0 ? QString() : text.mid(dot + 1));
}

QString NBSizeFormatter::stringFromFraction(quint64 numerator, quint64 denominator) const
{
    if (denominator == 0)
        return {};
    const int digits = qBound(0, m_maximumFractionDigits, 9);
    if (denominator > std::numeric_limits<quint64>::max() / 10)
        return stringFromNumber(double(numerator) / double(denominator));
    // Long division, so that halves are recognised exactly and rounded to even.
    quint64 integer = numerator / denominator;
    quint64 remainder = numerator % denominator;
    quint64 fraction = 0;
    quint64 scale = 1;
    for (int i = 0; i < digits; ++i) {
        remainder *= 10;
        fraction = fraction * 10 + remainder / denominator;
        remainder %= denominator;
        scale *= 10;
    }
    const bool odd = digits ? (fraction & 1) : (integer & 1);
    if (remainder > denominator - remainder || (remainder == denominator - remainder && odd)) {
        if (++fraction == scale) {
            fraction = 0;
            ++integer;
        }
    }
    if (digits == 0)
        return QString::number(integer);
    return joinDigits(QString::number(integer), QString::number(fraction).rightJustified(digits, u'0'));
}

void NBFileSizer::setReturnUncompressedFileSize(bool uncompressed)
{
    returnUncompressedSize.store(uncompressed);
}

NBSizeFormatter NBFileSizer::defaultSizeFormatter()
{
    return NBSizeFormatter(2);
}

quint64 NBFileSizer::itemSizeWithFTSEntry(const platform::StatusWalk::Entry &entry)
{
    if (isCountless(entry.kind)) {
        platform::log(entry.path + u": " + errorText(entry.error));
        return 0;
    }
    const quint64 size = entry.linkCount < 2 ? entrySize(entry) : 0;
    return returnUncompressedSize.load() ? size : blocksToBytes(size);
}

quint64 NBFileSizer::itemSizeAtURL(const QUrl &url)
{
    return itemSizeAtPath(url.toLocalFile());
}

quint64 NBFileSizer::itemSizeAtPath(const QString &path)
{
    return originalItemSizeAtPath(path);
}

quint64 NBFileSizer::alternativeItemSizeAtPath(const QString &path)
{
    return platform::itemBlockSize(path, logAttributeError);
}

quint64 NBFileSizer::originalItemSizeAtPath(const QString &path)
{
    return treeSize(path, nullptr);
}

void NBFileSizer::fetchItemSizeAtURLCompletionBlock(const QUrl &url, std::function<void(quint64)> completion)
{
    platform::dispatchAsync(platform::QueuePriority::Background, [url, completion = std::move(completion)] {
        const quint64 size = itemSizeAtURL(url);
        if (completion)
            completion(size);
    });
}

void NBFileSizer::restorePathsToBeStopped()
{
    std::lock_guard lock(stopListMutex);
    stopList().clear();
}

void NBFileSizer::stopScanningForPath(const QString &path)
{
    std::lock_guard lock(stopListMutex);
    if (!stopList().contains(path))
        stopList().append(path);
}

quint64 NBFileSizer::itemSizeAtPathAbleToStop(const QString &path)
{
    // No metadata index answers sizes here, so this is always the walk.
    return treeSize(path, &path);
}

QString NBFileSizer::displayItemSizeAtPath(const QString &path)
{
    return displayItemSizeFromSize(itemSizeAtPath(path));
}

QString NBFileSizer::nonLocalizedDisplayItemSizeFromSize(quint64 size)
{
    return displayItemSizeFromSizeBase2Localized(size, false, false);
}

QString NBFileSizer::displayItemSizeFromSize(quint64 size)
{
    return displayItemSizeFromSizeBase2Localized(size, false, true);
}

QString NBFileSizer::displayItemSizeFromSizeInBase2(quint64 size)
{
    return displayItemSizeFromSizeBase2Localized(size, true, true);
}

namespace {

size_t unitIndex(quint64 size, const std::array<quint64, 5> &divisors)
{
    size_t index = 0;
    while (index < 4 && divisors[index + 1] <= size)
        ++index;
    return index;
}

QString unitText(size_t index, bool localizedUnit)
{
    return localizedUnit ? localized(unitTexts[index]) : QStringLiteral("%1B").arg(QLatin1Char(unitLetters[index]));
}

} // namespace

QString NBFileSizer::displayItemSizeFromSizeBase2Localized(quint64 size, bool base2, bool localizedUnit)
{
    if (size == 0)
        return zeroKB();
    const auto &divisors = base2 ? binaryDivisors : decimalDivisors;
    const size_t index = unitIndex(size, divisors);
    const QString number = cachedFormatter(int(index)).stringFromFraction(size, divisors[index]);
    if (number.isNull())
        return zeroKB();
    return number + QChar(0x00a0) + unitText(index, localizedUnit);
}

QString NBFileSizer::displayItemSizeNumberFromSize(quint64 size)
{
    if (size == 0)
        return zeroKB();
    const size_t index = unitIndex(size, decimalDivisors);
    const QString number = cachedFormatter(int(index)).stringFromFraction(size, decimalDivisors[index]);
    return number.isNull() ? localized(QT_TRANSLATE_NOOP("Localizable", "Zero")) : number;
}

QString NBFileSizer::displayItemSizeDimensionFromSize(quint64 size)
{
    if (size == 0)
        return QString();
    return unitText(unitIndex(size, decimalDivisors), true);
}
