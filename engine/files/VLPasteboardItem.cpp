#include "engine/files/VLPasteboardItem.h"

#include "engine/archive/VLTypeIdentifier.h"

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

VLPasteboardItem::VLPasteboardItem(QUrl sourceURL) : m_sourceURL(std::move(sourceURL))
{
}

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
        return VLTypeIdentifierForPath(path, false);
    return path;
}

std::unique_ptr<QMimeData> VLPasteboardItem::mimeData() const
{
    return std::make_unique<PromisedMimeData>(*this);
}
