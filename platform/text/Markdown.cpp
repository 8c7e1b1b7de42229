#include "platform/text/Markdown.h"

#include <md4c-html.h>

namespace {

void appendOutput(const MD_CHAR *text, MD_SIZE size, void *userData)
{
    static_cast<QByteArray *>(userData)->append(text, qsizetype(size));
}

} // namespace

namespace platform {

std::optional<QString> htmlStringWithMarkdown(const QString &markdown)
{
    const QByteArray input = markdown.toUtf8();
    QByteArray output;
    const unsigned parserFlags = MD_DIALECT_GITHUB;
    const int result = md_html(input.constData(), MD_SIZE(input.size()), appendOutput, &output, parserFlags, 0);
    if (result != 0)
        return std::nullopt;
    return QString::fromUtf8(output);
}

} // namespace platform
