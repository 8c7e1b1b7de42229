#include "engine/archive/VLArchiveOutput.h"

#include "platform/core/Log.h"

#include <cerrno>

bool VLArchiveOutput::create(const QString &path)
{
    m_path = path;
    m_file = platform::PosixFile::createForWriting(path, 0600);
    if (!m_file.isOpen())
        return false;
    m_offset = 0;
    m_writeError = 0;
    m_pending.reserve(pieceSize);
    return true;
}

void VLArchiveOutput::write(const void *data, std::size_t size)
{
    if (size == 0)
        return;
    // Small sections are gathered and written in large pieces: on a tree of small files one
    // system call per section would cost more than making the section.
    if (m_pending.size() + size > pieceSize)
        flush();
    if (size >= pieceSize)
        writeNow(data, size);
    else
        m_pending.insert(m_pending.end(), static_cast<const std::uint8_t *>(data),
                         static_cast<const std::uint8_t *>(data) + size);
    m_offset += size;
}

void VLArchiveOutput::writeFile(const platform::PosixFile &source, std::uint64_t size)
{
    if (size == 0)
        return;
    flush();
    int sourceError = 0;
    if (!m_writeError && !m_file.appendFrom(source, size, &sourceError)) {
        const int error = m_file.lastError() ? m_file.lastError() : sourceError ? sourceError : EIO;
        platform::log(QStringLiteral("Warning! Writing to archive file failed. Error %1").arg(error));
        m_writeError = error;
    }
    m_offset += size;
}

void VLArchiveOutput::flush()
{
    writeNow(m_pending.data(), m_pending.size());
    m_pending.clear();
}

void VLArchiveOutput::writeNow(const void *data, std::size_t size)
{
    if (size == 0 || m_writeError)
        return;
    if (!m_file.writeAll(data, size)) {
        platform::log(QStringLiteral("Warning! Writing to archive file failed. Error %1").arg(m_file.lastError()));
        m_writeError = m_file.lastError() ? m_file.lastError() : EIO;
    }
}

bool VLArchiveOutput::beginSection(const VLSectionKeys &keys)
{
    m_section = std::make_unique<VLSectionEncoder>();
    if (!m_section->begin(keys)) {
        m_section.reset();
        return false;
    }
    write(m_section->output().data(), m_section->output().size());
    m_section->output().clear();
    return true;
}

void VLArchiveOutput::writeData(const void *data, std::size_t size)
{
    if (!m_file.isOpen())
        return;
    if (!m_section) {
        write(data, size);
        return;
    }
    if (m_section->write(data, size))
        write(m_section->output().data(), m_section->output().size());
    m_section->output().clear();
}

bool VLArchiveOutput::endSection(QByteArray *hmac)
{
    if (!m_section)
        return true;
    const bool finished = m_section->finish(hmac);
    const std::vector<std::uint8_t> &tail = m_section->output();
    if (finished) {
        write(tail.data(), tail.size());
        flush();
    }
    // A section whose bytes did not all reach the file is not finished.
    const bool written = finished && !m_writeError;
    m_section.reset();
    return written;
}

int VLArchiveOutput::finish()
{
    flush();
    std::vector<std::uint8_t>().swap(m_pending);
    if (!m_file.close() && !m_writeError)
        m_writeError = m_file.lastError() ? m_file.lastError() : EIO;
    if (m_writeError) {
        platform::removeFileAtPath(m_path);
        m_path.clear();
    }
    return m_writeError;
}

void VLArchiveOutput::discard()
{
    m_pending.clear();
    if (m_file.isOpen()) {
        m_file.close();
        platform::removeFileAtPath(m_path);
        m_path.clear();
    }
    m_section.reset();
}
