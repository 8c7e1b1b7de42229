#pragma once

#include "engine/archive/VLArchiveOutput.h"
#include "engine/archive/VLArchiveReporter.h"
#include "engine/archive/VLEncryptedArchiveConstants.h"
#include "engine/archive/VLEncryptedArchiveItem.h"
#include "engine/archive/VLMasterKey.h"
#include "platform/core/VLError.h"
#include "platform/files/PosixFile.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

class VLEncryptedArchive;
namespace platform {
class WorkerPool;
}

// Writes a whole container from its archive's records and settings: the item sections, the
// directory section and the locator. Sections are made ahead on a pool of workers and written
// in the order they are done, a folder's before its contents'; the directory lists the records
// in that order. A very large file is made when its turn comes, its blocks compressed on the
// same workers. Runs on the caller's thread and reports through the archive's delegate.
class VLArchiveWriter final
{
public:
    // For tests: see VLEncryptedArchive::setReadPieceHook.
    using ReadPieceHook = std::function<void(const VLEncryptedArchiveItemPtr &, quint64)>;

    explicit VLArchiveWriter(VLEncryptedArchive &archive);
    ~VLArchiveWriter();
    Q_DISABLE_COPY_MOVE(VLArchiveWriter)

    void setReadPieceHook(ReadPieceHook hook) { m_readPieceHook = std::move(hook); }
    void save(const QString &path);

private:
    // The archive's settings, taken when saving starts; the workers read them without a lock.
    struct Settings
    {
        bool encryptFiles = true;
        bool encryptDirectory = true;
        bool filesHmac = true;
        bool directoryHmac = true;
        bool compress = true;
        quint64 compressionLevel = 6;
        quint64 keyBits = 128;
        std::size_t keySize = 16;
    };
    // How an item's section is made.
    enum class Making {
        Whole,    // read, compressed and enciphered whole in memory by a worker
        OnWorker, // streamed in blocks by one worker into memory, beside other items
        AtTurn,   // streamed into the file by the saving thread, its blocks compressed by the workers
    };
    // What making a section found besides its bytes.
    struct SectionMade
    {
        quint64 dataSize = 0; // bytes of the file it holds
        quint64 compressedSize = 0;
        QByteArray hmac;
        VLError lowError; // the system's reason for a failure, where there is one
    };
    // One item's section, made by a worker while it waits for its place in the file, or made at
    // its turn by the saving thread.
    struct Section
    {
        VLEncryptedArchiveItemPtr record;
        quint32 index = 0; // the record's among the archive's
        std::vector<std::uint8_t> bytes;
        // A section streamed on a worker waits in a file of its own instead, where it can.
        platform::PosixFile spill;
        quint64 spilledSize = 0;
        SectionMade made;
        int error = 0;
    };
    // What one worker makes at a time: a run of small items' sections, made whole one after the
    // other (so that a tree of many small files does not pay a hand-over for each), or one larger
    // file's section.
    struct SectionJob
    {
        Making making = Making::Whole;
        bool folder = false;      // the run holds a folder, which comes before its contents
        quint64 streamedSize = 0; // the file's size, for a section streamed on a worker
        std::vector<Section> sections;
    };
    enum class SectionResult { Done, Stopped, Failed };

    quint32 flags() const;
    VLSectionKeys sectionKeys(bool withHmac) const;
    // The directory's records, in `order` (indexes of `records`), built on the workers a run at a
    // time and written in order. False with the record whose header could not be made.
    bool writeDirectory(const std::vector<VLEncryptedArchiveItemPtr> &records, const std::vector<quint32> &order,
                        platform::WorkerPool &pool, VLEncryptedArchiveItemPtr *failedRecord);
    bool writeLocator(quint64 directoryPosition, quint64 directorySize, const QByteArray &directoryHmac);
    // The steps every item's section starts with: its key block goes to the encoder; a file's
    // deflate level is checked and its source opened. 0, or the error to report (with the
    // system's reason in lowError where there is one).
    int beginSection(const VLEncryptedArchiveItemPtr &record, VLSectionEncoder &encoder, platform::PosixFile &source,
                     VLError &lowError) const;
    // The local header, with the record's size as the section will hold it. 0 or the error.
    // `source` is the item's file, open when it is a file.
    int writeLocalHeader(const VLEncryptedArchiveItemPtr &record, VLSectionEncoder &encoder,
                         const platform::PosixFile &source) const;
    void makeSection(Section &section);
    void makeSections(SectionJob &job);
    // A file's section streamed through `encoder`: its local header, then its data read in
    // pieces, compressed in blocks on `pool` (or on this thread without one). `flush` takes what
    // the encoder made so far; `progress(bytes done)` false stops. 0 or the error to report.
    int streamSection(const VLEncryptedArchiveItemPtr &record, platform::WorkerPool *pool, VLSectionEncoder &encoder,
                      const std::function<void()> &flush, const std::function<bool(quint64)> &progress,
                      SectionMade &made);
    void streamSectionOnWorker(Section &section);
    // Keeps in the record what its written section found.
    void keepSectionMade(const VLEncryptedArchiveItemPtr &record, const SectionMade &made) const;
    // Writes a section made on a worker, reporting its progress as if it were read now.
    SectionResult writeMadeSection(Section &section, bool answersProgress, bool &stop);
    SectionResult writeStreamedSection(const VLEncryptedArchiveItemPtr &record, platform::WorkerPool &pool,
                                       bool answersProgress, bool &stop);
    void reportError(int code, const VLEncryptedArchiveItemPtr &record, const VLError &lowError = {});
    void reportProgress(double progress, const VLEncryptedArchiveItemPtr &record, quint64 processed, bool *cancel);

    VLEncryptedArchive &m_archive;
    VLArchiveReporter m_reporter;
    Settings m_settings;
    VLMasterKey m_key;
    VLArchiveOutput m_output;
    quint64 m_directorySize = 0;
    quint64 m_operationTotal = 0;
    quint64 m_processed = 0;
    // Makes workers give up the sections still queued or running.
    std::atomic<bool> m_workersStop = false;
    ReadPieceHook m_readPieceHook;
    QString m_spillFolder; // the container's folder, where sections streamed on workers wait
};
