#pragma once

#include <QString>

#include <optional>

// The type identifiers that item records name by a small index instead of each keeping a string:
// a tree holds a few distinct ones among any number of items. The table lives as long as the
// process and only grows, so it keeps a bounded number of short texts; a record keeps any other
// text itself.
class VLTypeIdentifierTable final
{
public:
    using Index = quint16;
    static constexpr Index noIdentifier = 0; // a null text

    // The index of the text, entered on first use; nothing when the table does not keep it.
    static std::optional<Index> indexOf(const QString &identifier);
    // The text of an index that indexOf gave, on any thread.
    static QString at(Index index);
};
