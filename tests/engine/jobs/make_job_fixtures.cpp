// Writes the containers under tests/data/jobs that the job tests read:
//   record-hmac-special.vault  one file whose directory record carries the special-case HMAC
//   record-hmac-tampered.vault one file whose directory record carries an HMAC its data does not have
// Both hold "giveaway.txt" and open with the password "gift". Run it from the build tree
// (make_job_fixtures <output folder>) when the container format changes.

#include "engine/archive/VLEncryptedArchive.h"
#include "engine/archive/VLEncryptedArchiveConstants.h"
#include "engine/jobs/VLDezerider.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

// Replaces an item's HMAC once its section is written, so that the directory records the
// replacement while the section keeps the real one.
class RecordHmacReplacer final : public VLEncryptedArchiveDelegate
{
public:
    explicit RecordHmacReplacer(QByteArray hmac) : m_hmac(std::move(hmac)) {}
    Callbacks answeredCallbacks() const override
    {
        return Callback::OperationProgress | Callback::OperationError | Callback::FinishedOperation;
    }
    void encryptedArchiveOperationProgress(VLEncryptedArchive *, const QVariantMap &info, bool &) override
    {
        const auto item = info.value(VLEncryptedArchiveConstants::keyItem).value<VLEncryptedArchiveItemPtr>();
        if (item && info.value(VLEncryptedArchiveConstants::keyProgress).toDouble() >= 100)
            item->setHmac(m_hmac);
    }
    void encryptedArchiveOperationError(VLEncryptedArchive *, const QVariantMap &info) override
    {
        QTextStream(stderr) << "saving failed: "
                            << info.value(VLEncryptedArchiveConstants::keyError).value<VLError>().description() << '\n';
    }
    void encryptedArchiveFinishedOperation(VLEncryptedArchive *, const QVariantMap &) override { finished = true; }
    bool finished = false;

private:
    QByteArray m_hmac;
};

bool write(const QString &output, const QByteArray &hmac)
{
    QTemporaryDir source;
    const QString file = source.filePath(QStringLiteral("giveaway.txt"));
    QFile content(file);
    if (!content.open(QIODevice::WriteOnly) || content.write("A small gift.\n") < 0)
        return false;
    content.close();
    auto archive = VLEncryptedArchive::newArchive();
    if (!archive->addItemFromRoot(file, source.path()))
        return false;
    archive->setPassword(QStringLiteral("gift"));
    archive->setPasswordHint(QStringLiteral("what it is"));
    RecordHmacReplacer replacer(hmac);
    archive->setDelegate(&replacer);
    QFile::remove(output);
    archive->save(output);
    archive->setDelegate(nullptr);
    return replacer.finished;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(folder);
    const bool ok = write(folder + QStringLiteral("/record-hmac-special.vault"), VLDezerider::specialScenarioHmac)
                    && write(folder + QStringLiteral("/record-hmac-tampered.vault"), QByteArray(32, '\x5a'));
    return ok ? 0 : 1;
}
