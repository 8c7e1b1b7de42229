#include "engine/archive/VLTypeIdentifierTable.h"

#include <QHash>

#include <array>
#include <mutex>

namespace {

constexpr qsizetype capacity = 1024;
constexpr qsizetype longestKept = 128;

struct Table
{
    std::mutex mutex; // guards index and the entering of texts
    QHash<QString, VLTypeIdentifierTable::Index> index;
    // A slot is written once, under the mutex, before its index is handed out; whoever holds the
    // index has seen that write, so slots are read without the lock.
    std::array<QString, capacity> texts;
    qsizetype used = 1; // slot 0 is the null text
};

Table &table()
{
    static Table shared;
    return shared;
}

} // namespace

std::optional<VLTypeIdentifierTable::Index> VLTypeIdentifierTable::indexOf(const QString &identifier)
{
    if (identifier.isNull())
        return noIdentifier;
    if (identifier.size() > longestKept)
        return std::nullopt;
    Table &t = table();
    std::lock_guard lock(t.mutex);
    const auto found = t.index.constFind(identifier);
    if (found != t.index.constEnd())
        return found.value();
    if (t.used == capacity)
        return std::nullopt;
    const Index entered = Index(t.used++);
    t.texts[std::size_t(entered)] = identifier;
    t.index.insert(identifier, entered);
    return entered;
}

QString VLTypeIdentifierTable::at(Index index)
{
    return table().texts[std::size_t(index)];
}
