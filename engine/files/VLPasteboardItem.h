#pragma once

#include <QMimeData>
#include <QStringList>
#include <QUrl>
#include <QVariant>

#include <memory>

// Promises a file for a source URL: the types are announced at once, the data is produced only
// when a receiver asks for it.
class VLPasteboardItem final
{
public:
    static inline const QString promisedFileURLType = QStringLiteral("com.apple.pasteboard.promised-file-url");
    static inline const QString promisedFileContentType = QStringLiteral(
        "com.apple.pasteboard.promised-file-content-type");
    // The pasteboard's "promised" writing option.
    static constexpr int writingPromised = 512;

    explicit VLPasteboardItem(QUrl sourceURL);
    static std::unique_ptr<VLPasteboardItem> dragItemWithSourceURL(const QUrl &sourceURL);

    QStringList writableTypesForPasteboard() const;
    int writingOptionsForType(const QString &type) const;
    QVariant pasteboardPropertyListForType(const QString &type) const;
    const QUrl &sourceURL() const { return m_sourceURL; }

    // Mime data offering the writable types; each is filled from pasteboardPropertyListForType
    // on the first request. The caller owns it (QDrag takes it over).
    std::unique_ptr<QMimeData> mimeData() const;

private:
    QUrl m_sourceURL;
};
