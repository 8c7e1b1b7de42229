// Opens arbitrary bytes as a container with a fixed password and extracts it into a
// temporary folder: nothing may crash, hang, leave the folder or allocate without bound.
#include "FuzzShared.h"

#include "engine/archive/VLEncryptedArchive.h"
#include "platform/core/Log.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

namespace {

class FuzzDelegate final : public VLEncryptedArchiveDelegate
{
public:
    explicit FuzzDelegate(bool acceptMismatches) : m_acceptMismatches(acceptMismatches) {}
    Callbacks answeredCallbacks() const override
    {
        return Callback::OperationProgress | Callback::OperationError | Callback::PasswordNeeded
               | Callback::HMACMismatch;
    }
    void encryptedArchivePasswordNeeded(VLEncryptedArchive *, bool &cancel) override { cancel = true; }
    void encryptedArchiveHMACMismatch(VLEncryptedArchive *, const VLEncryptedArchiveItemPtr &, quint64 &action) override
    {
        if (m_acceptMismatches)
            action = 0;
    }

private:
    bool m_acceptMismatches;
};

struct Workspace
{
    QTemporaryDir dir;
    QString input;
    QString output;
    Workspace()
    {
        platform::setLogSink([](const QString &) {});
        input = dir.filePath(QStringLiteral("input.vault"));
        output = dir.filePath(QStringLiteral("out"));
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static Workspace workspace;
    {
        QFile file(workspace.input);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    QDir(workspace.output).removeRecursively();
    QDir().mkpath(workspace.output);

    // The last byte decides whether HMAC mismatches are let through, so damaged data also reaches extraction.
    FuzzDelegate delegate(size > 0 && (data[size - 1] & 1));
    VLEncryptedArchive archive;
    archive.setDelegate(&delegate);
    archive.setPassword(fuzzPassword());
    archive.openArchive(workspace.input);
    if (archive.isOpened())
        archive.extractAllItems(workspace.output);
    archive.closeArchive();
    return 0;
}
