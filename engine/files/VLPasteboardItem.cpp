#include "engine/files/VLPasteboardItem.h"

#include <QFileInfo>
#include <QHash>

namespace {

class PromisedMimeData final : public QMimeData
{
public:
    explicit PromisedMimeData(VLPasteboardItem item) : m_item(std::move(item)) {}

    QStringList formats() const override { return m_item.writableTypesForPasteboard(); }
    bool hasFormat(const QString &mimeType) const override { return formats().contains(mimeType); }

protected:
    QVariant retrieveData(const QString &mimeType, QMetaType) const override
    {
        if (!hasFormat(mimeType))
            return {};
        return m_item.pasteboardPropertyListForType(mimeType).toString().toUtf8();
    }

private:
    VLPasteboardItem m_item;
};

} // namespace

VLPasteboardItem::VLPasteboardItem(QUrl sourceURL) : m_sourceURL(std::move(sourceURL)) {}

std::unique_ptr<VLPasteboardItem> VLPasteboardItem::dragItemWithSourceURL(const QUrl &sourceURL)
{
    return std::make_unique<VLPasteboardItem>(sourceURL);
}

QStringList VLPasteboardItem::writableTypesForPasteboard() const
{
    return {promisedFileURLType, promisedFileContentType};
}

int VLPasteboardItem::writingOptionsForType(const QString &) const
{
    return writingPromised;
}

QVariant VLPasteboardItem::pasteboardPropertyListForType(const QString &type) const
{
    const QString path = m_sourceURL.toLocalFile();
    if (type == promisedFileContentType)
        return typeIdentifierForExtension(QFileInfo(path).suffix());
    return path;
}

std::unique_ptr<QMimeData> VLPasteboardItem::mimeData() const
{
    return std::make_unique<PromisedMimeData>(*this);
}

QString VLPasteboardItem::typeIdentifierForExtension(const QString &extension)
{
    static const QHash<QString, QString> known = {
        {QStringLiteral("txt"), QStringLiteral("public.plain-text")},
        {QStringLiteral("text"), QStringLiteral("public.plain-text")},
        {QStringLiteral("rtf"), QStringLiteral("public.rtf")},
        {QStringLiteral("html"), QStringLiteral("public.html")},
        {QStringLiteral("htm"), QStringLiteral("public.html")},
        {QStringLiteral("xml"), QStringLiteral("public.xml")},
        {QStringLiteral("jpg"), QStringLiteral("public.jpeg")},
        {QStringLiteral("jpeg"), QStringLiteral("public.jpeg")},
        {QStringLiteral("png"), QStringLiteral("public.png")},
        {QStringLiteral("gif"), QStringLiteral("com.compuserve.gif")},
        {QStringLiteral("tif"), QStringLiteral("public.tiff")},
        {QStringLiteral("tiff"), QStringLiteral("public.tiff")},
        {QStringLiteral("pdf"), QStringLiteral("com.adobe.pdf")},
        {QStringLiteral("zip"), QStringLiteral("public.zip-archive")},
        {QStringLiteral("mp3"), QStringLiteral("public.mp3")},
        {QStringLiteral("mov"), QStringLiteral("com.apple.quicktime-movie")},
        {QStringLiteral("mp4"), QStringLiteral("public.mpeg-4")},
        {QStringLiteral("app"), QStringLiteral("com.apple.application-bundle")},
    };
    return known.value(extension.toLower(), extension);
}
