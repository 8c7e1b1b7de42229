#pragma once

#include <QString>

#include <optional>

namespace platform {

// Markdown (CommonMark with tables, strikethrough and autolinks) as an HTML fragment; none when
// the text cannot be converted.
std::optional<QString> htmlStringWithMarkdown(const QString &markdown);

} // namespace platform
