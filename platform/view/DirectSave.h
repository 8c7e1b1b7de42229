#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

namespace platform {

// A drag's part in the X direct-save protocol (XdndDirectSave0): a drop target that takes part
// names the file it wants, and the source writes the dragged item there itself, so the source
// learns where the item went. Where the desktop is not X11 nothing is offered.
class DirectSaveOffer final
{
public:
    // Saves the dragged item at a local path where nothing is yet; true when it is there.
    using Saver = std::function<bool(const QString &path)>;

    // The drag's data format that offers the protocol; the target asks the source to convert the
    // drag's selection to it once it has named the file.
    static inline const QString mimeFormat = QStringLiteral("XdndDirectSave0");

    // The offer for a drag of an item called fileName; null where the desktop has no such
    // protocol.
    static std::shared_ptr<DirectSaveOffer> create(const QString &fileName, Saver saver);
    ~DirectSaveOffer();
    Q_DISABLE_COPY_MOVE(DirectSaveOffer)

    // The drag has begun and its selection has an owner: the file name goes on the drag's source
    // window, where a target reads it.
    void dragStarted();
    // The target asked for the save: "S" once the item is saved where the target said, "F" when
    // that place is not on this machine (the target then fetches the data itself), "E" otherwise.
    QByteArray answerSaveRequest();
    // After a drop: runs the event loop until the target has had its save or has finished the drop
    // another way, or has said nothing for a while.
    void waitForTarget();
    // Ends the offer: later requests are refused and the name leaves the source window.
    void close();

    // The item's new place, once saved.
    std::optional<QUrl> savedURL() const { return m_savedURL; }

private:
    struct X11State;
    DirectSaveOffer(const QString &fileName, Saver saver, std::unique_ptr<X11State> x11);

    QString m_fileName;
    Saver m_saver;
    std::unique_ptr<X11State> m_x11;
    std::optional<QUrl> m_savedURL;
    std::optional<QByteArray> m_answer;
    bool m_closed = false;
};

} // namespace platform
