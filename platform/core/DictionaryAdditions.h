#pragma once

#include <QVariantMap>

#include <optional>

// A copy of the receiver with the given entries added; the given entries win, and no dictionary
// adds nothing.
inline QVariantMap vl_appendWith(const QVariantMap &receiver, const std::optional<QVariantMap> &entries)
{
    QVariantMap result = receiver;
    if (entries) {
        for (auto it = entries->cbegin(); it != entries->cend(); ++it)
            result.insert(it.key(), it.value());
    }
    return result;
}
