// Item sections made on the workers: a whole section in memory, or a large file's section
// streamed in order with its blocks compressed on the workers.
#include "engine/archive/VLArchiveWriter.h"

#include "engine/archive/VLDeflate.h"
#include "engine/archive/VLEncryptedArchiveConstants.h"
#include "engine/archive/VLHeaderRecords.h"
#include "engine/archive/VLOrderedWindow.h"
#include "engine/archive/VLProgressSchedule.h"
#include "engine/archive/VLScratchBuffers.h"
#include "engine/archive/VLSectionCipher.h"

#include "platform/core/Log.h"
#include "platform/dispatch/WorkerPool.h"

using namespace VLEncryptedArchiveConstants;

namespace {

constexpr std::size_t blockInput = 128 * 1024; // a large file's compression block
constexpr std::size_t plainPiece = 256 * 1024; // a large uncompressed file's read

// The level zlib takes; larger stored levels are refused as before.
std::optional<int> deflateLevel(quint64 level)
{
    return level <= 9 ? std::optional<int>(int(level)) : std::nullopt;
}

} // namespace

int VLArchiveWriter::beginSection(const VLEncryptedArchiveItemPtr &record, VLSectionEncoder &encoder,
                                  platform::PosixFile &source, VLError &lowError) const
{
    if (!encoder.begin(sectionKeys(m_settings.filesHmac)))
        return VLArchiveErrorSectionCipher;
    if (record->fileType() != platform::FileType::Regular)
        return 0;
    if (record->compressed() && !deflateLevel(m_settings.compressionLevel)) {
        platform::log(QStringLiteral("Warning! deflateInit failed. Error %1").arg(-2));
        return VLArchiveErrorCompression;
    }
    source = platform::PosixFile::openForReading(record->realPath());
    if (!source.isOpen()) {
        lowError = VLError::posix(source.lastError());
        return VLArchiveErrorOpenSource;
    }
    return 0;
}

int VLArchiveWriter::writeLocalHeader(const VLEncryptedArchiveItemPtr &record, VLSectionEncoder &encoder,
                                      const platform::PosixFile &source) const
{
    const std::optional<QByteArray> header = VLHeaderRecords::localHeader(record, m_settings.encryptDirectory,
                                                                          source.descriptor());
    if (!header)
        return VLArchiveErrorLocalHeader;
    if (!encoder.write(header->constData(), std::size_t(header->size())))
        return VLArchiveErrorSectionCipher;
    return 0;
}

void VLArchiveWriter::makeSections(SectionJob &job)
{
    for (Section &section : job.sections) {
        makeSection(section);
        // What follows a failed section is never written.
        if (section.error)
            return;
    }
}

void VLArchiveWriter::makeSection(Section &job)
{
    const VLEncryptedArchiveItemPtr &record = job.record;
    auto fail = [&job](int code, const VLError &lowError = {}) {
        job.error = code;
        job.made.lowError = lowError;
        job.bytes.clear();
    };
    if (m_workersStop)
        return fail(VLArchiveErrorStopped);
    VLSectionEncoder encoder;
    platform::PosixFile source;
    VLError lowError;
    if (const int error = beginSection(record, encoder, source, lowError))
        return fail(error, lowError);

    thread_local std::vector<std::uint8_t> data;
    thread_local std::vector<std::uint8_t> deflated;
    const VLScratchTrim trim(data, deflated);
    std::size_t size = 0;
    if (source.isOpen()) {
        data.resize(std::size_t(record->attributes().size.value_or(0)));
        const std::int64_t got = source.read(data.data(), data.size());
        if (got < 0)
            return fail(VLArchiveErrorReadSource, VLError::posix(source.lastError()));
        // The local header follows the read, so that it states the bytes the section holds: a
        // file that got shorter since it was added is stored as it is now, one that grew with
        // the bytes it had then.
        size = std::size_t(got);
        if (size < data.size())
            record->setSize(size);
        job.made.dataSize = size;
    }
    if (const int error = writeLocalHeader(record, encoder, source))
        return fail(error);
    if (source.isOpen()) {
        if (record->compressed() && size > 0) {
            if (!VLDeflate::compressWhole(data.data(), size, *deflateLevel(m_settings.compressionLevel), deflated))
                return fail(VLArchiveErrorCompression);
            encoder.output().reserve(encoder.output().size() + deflated.size() + 32);
            if (!encoder.write(deflated.data(), deflated.size()))
                return fail(VLArchiveErrorSectionCipher);
            job.made.compressedSize = deflated.size();
        } else if (!encoder.write(data.data(), size)) {
            return fail(VLArchiveErrorSectionCipher);
        }
    }
    if (!encoder.finish(&job.made.hmac))
        return fail(VLArchiveErrorSectionCipher);
    job.bytes = std::move(encoder.output());
}

VLArchiveWriter::SectionResult VLArchiveWriter::writeStreamedSection(const VLEncryptedArchiveItemPtr &record,
                                                                     platform::WorkerPool &pool, bool answersProgress,
                                                                     bool &stop)
{
    VLSectionEncoder encoder;
    const quint64 expected = record->attributes().size.value_or(0);
    VLProgressSchedule schedule(expected, expected / 100);
    SectionMade made;
    const int error = streamSection(
        record, &pool, encoder,
        [this, &encoder] {
            m_output.write(encoder.output().data(), encoder.output().size());
            encoder.output().clear();
        },
        [&](quint64 written) {
            if (!answersProgress)
                return true;
            return schedule.advance(written, [&](quint64 at) {
                reportProgress(double(at) * 100.0 / double(expected), record, m_processed + at, &stop);
                return !stop;
            });
        },
        made);
    if (error) {
        reportError(error, record, made.lowError);
        return SectionResult::Failed;
    }
    keepSectionMade(record, made);
    return SectionResult::Done;
}

void VLArchiveWriter::keepSectionMade(const VLEncryptedArchiveItemPtr &record, const SectionMade &made) const
{
    if (record->compressed())
        record->setCompressedSize(made.compressedSize);
    if (m_settings.encryptFiles && m_settings.filesHmac)
        record->setHmac(made.hmac);
}

void VLArchiveWriter::streamSectionOnWorker(Section &job)
{
    VLSectionEncoder encoder;
    // The section waits for its turn in a file of its own beside the container, so that the
    // sections in flight cost disk cache, not memory; where none can be made, in memory, reserved
    // at the file's size (its pages are only touched as far as the output goes).
    job.spill = platform::PosixFile::createAnonymousIn(m_spillFolder);
    int spillError = 0;
    std::function<void()> flush = [] {};
    if (job.spill.isOpen()) {
        flush = [&] {
            if (!spillError && !job.spill.writeAll(encoder.output().data(), encoder.output().size()))
                spillError = job.spill.lastError() ? job.spill.lastError() : EIO;
            job.spilledSize += encoder.output().size();
            encoder.output().clear();
        };
    } else {
        encoder.output().reserve(std::size_t(job.record->attributes().size.value_or(0)) + 64 * 1024);
    }
    const int error = streamSection(
        job.record, nullptr, encoder, flush, [this, &spillError](quint64) { return !m_workersStop && !spillError; },
        job.made);
    if (spillError) {
        job.error = VLArchiveErrorCreateArchive;
        job.made.lowError = VLError::posix(spillError);
        return;
    }
    if (error) {
        job.error = m_workersStop ? int(VLArchiveErrorStopped) : error;
        return;
    }
    if (!job.spill.isOpen())
        job.bytes = std::move(encoder.output());
}

int VLArchiveWriter::streamSection(const VLEncryptedArchiveItemPtr &record, platform::WorkerPool *pool,
                                   VLSectionEncoder &encoder, const std::function<void()> &flush,
                                   const std::function<bool(quint64)> &progress, SectionMade &made)
{
    platform::PosixFile source;
    if (const int error = beginSection(record, encoder, source, made.lowError))
        return error;
    // The local header goes out before the data: it states the size the file has when opened,
    // up to the size it was added with.
    quint64 expected = record->attributes().size.value_or(0);
    if (const std::optional<std::uint64_t> now = source.size(); now && *now < expected) {
        expected = *now;
        record->setSize(expected);
    }
    if (const int error = writeLocalHeader(record, encoder, source))
        return error;
    flush();

    const bool compressed = record->compressed();
    const std::optional<int> level = deflateLevel(m_settings.compressionLevel);
    quint64 done = 0;    // bytes read
    quint64 written = 0; // bytes whose output went to the encoder
    if (!compressed) {
        std::vector<std::uint8_t> piece(plainPiece);
        while (done < expected) {
            const std::int64_t got = source.read(piece.data(),
                                                 std::size_t(std::min<quint64>(piece.size(), expected - done)));
            if (got < 0) {
                made.lowError = VLError::posix(source.lastError());
                return VLArchiveErrorReadSource;
            }
            if (got == 0) {
                // Its size is already out in the local header; fewer bytes would let a reader
                // take the next section's for the rest.
                platform::log(QStringLiteral("Warning! %1 got shorter while it was read.").arg(record->realPath()));
                return VLArchiveErrorReadSource;
            }
            if (!encoder.write(piece.data(), std::size_t(got)))
                return VLArchiveErrorSectionCipher;
            flush();
            done += quint64(got);
            written = done;
            if (m_readPieceHook)
                m_readPieceHook(record, done);
            if (!progress(written))
                return VLArchiveErrorStopped;
        }
    } else {
        // The blocks are read and compressed each on its own (on the workers when there is a
        // pool) and come back in order; a bounded number is in flight, so memory does not grow
        // with the file. This thread only enciphers, authenticates and writes.
        struct Block
        {
            quint64 offset = 0;
            std::size_t size = 0; // what the block should hold; less when the file got shorter
            std::vector<std::uint8_t> output;
            std::uint32_t adler = 1;
            bool last = false;
            bool ok = false;
            int readError = 0;
        };
        const int blockLevel = *level;
        const platform::PosixFile *file = &source;
        auto compress = [this, blockLevel, file](Block &block) {
            if (m_workersStop)
                return;
            // Read into the thread's own buffer (a block is smaller than what a worker keeps): a
            // block's input lives only while it is compressed.
            thread_local std::vector<std::uint8_t> input;
            input.resize(std::max(input.size(), block.size));
            const std::int64_t got = file->readAt(block.offset, input.data(), block.size, &block.readError);
            if (got >= 0) {
                // A file that got shorter since it was added ends its stream here.
                if (std::size_t(got) < block.size) {
                    block.last = true;
                    block.size = std::size_t(got);
                }
                block.ok = VLDeflate::compressBlock(input.data(), block.size, block.last, blockLevel, block.output);
                block.adler = VLDeflate::adler32(input.data(), block.size);
            }
        };
        // Leaving early, the blocks still in flight read the source: the window ends them before
        // it closes.
        VLOrderedWindow<Block> window(pool, pool ? std::size_t(2 * pool->size() + 2) : 1);
        std::vector<std::uint8_t> stream;
        VLDeflate::appendStreamHeader(stream, *level);
        if (!encoder.write(stream.data(), stream.size()))
            return VLArchiveErrorSectionCipher;
        quint64 produced = stream.size();
        std::uint32_t adler = VLDeflate::adler32(nullptr, 0);
        bool ended = false;
        while (!ended) {
            while (done < expected && window.hasRoom()) {
                auto block = std::make_shared<Block>();
                block->offset = done;
                block->size = std::size_t(std::min<quint64>(blockInput, expected - done));
                done += block->size;
                block->last = done == expected;
                window.add(block, 0, compress);
            }
            if (window.empty()) {
                // Nothing was in flight: the file had no bytes left where it should have.
                break;
            }
            window.waitFront();
            const std::shared_ptr<Block> block = window.front();
            window.popFront();
            if (block->readError) {
                made.lowError = VLError::posix(block->readError);
                return VLArchiveErrorReadSource;
            }
            if (!block->ok)
                return m_workersStop ? int(VLArchiveErrorStopped) : int(VLArchiveErrorCompression);
            if (!encoder.write(block->output.data(), block->output.size()))
                return VLArchiveErrorSectionCipher;
            flush();
            produced += block->output.size();
            adler = VLDeflate::adler32Combine(adler, block->adler, block->size);
            written += block->size;
            ended = block->last;
            if (!progress(written))
                return VLArchiveErrorStopped;
        }
        stream.clear();
        VLDeflate::appendStreamTrailer(stream, adler);
        if (!encoder.write(stream.data(), stream.size()))
            return VLArchiveErrorSectionCipher;
        produced += stream.size();
        made.compressedSize = produced;
    }
    source.close();
    made.dataSize = written;
    if (!encoder.finish(&made.hmac))
        return VLArchiveErrorSectionCipher;
    flush();
    return 0;
}
