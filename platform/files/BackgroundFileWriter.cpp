#include "platform/files/BackgroundFileWriter.h"

#include <cerrno>
#include <cstring>

namespace platform {

BackgroundFileWriter::BackgroundFileWriter()
{
    for (int i = 0; i < chunkCount; ++i) {
        m_chunks.push_back(std::make_unique<Chunk>());
        m_free.push_back(m_chunks.back().get());
    }
}

BackgroundFileWriter::~BackgroundFileWriter()
{
    if (m_thread.joinable()) {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_workReady.notify_all();
        m_thread.join();
    }
}

void BackgroundFileWriter::begin(PosixFile *file)
{
    if (!m_thread.joinable())
        m_thread = std::thread(&BackgroundFileWriter::run, this);
    std::lock_guard lock(m_mutex);
    m_file = file;
    m_error = 0;
}

void BackgroundFileWriter::write(const void *data, std::size_t size)
{
    const auto *bytes = static_cast<const char *>(data);
    while (size > 0) {
        if (!m_current) {
            std::unique_lock lock(m_mutex);
            m_chunkFree.wait(lock, [this] { return !m_free.empty(); });
            m_current = m_free.back();
            m_free.pop_back();
            m_current->used = 0;
        }
        const std::size_t n = std::min(size, chunkSize - m_current->used);
        std::memcpy(m_current->data.get() + m_current->used, bytes, n);
        m_current->used += n;
        bytes += n;
        size -= n;
        if (m_current->used == chunkSize)
            submitCurrent();
    }
}

void BackgroundFileWriter::submitCurrent()
{
    if (!m_current)
        return;
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(m_current);
    }
    m_current = nullptr;
    m_workReady.notify_one();
}

int BackgroundFileWriter::finish()
{
    submitCurrent();
    std::unique_lock lock(m_mutex);
    m_chunkFree.wait(lock, [this] { return m_queue.empty() && !m_writing; });
    m_file = nullptr;
    return m_error;
}

void BackgroundFileWriter::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_workReady.wait(lock, [this] { return m_stop || !m_queue.empty(); });
        if (m_queue.empty() && m_stop)
            return;
        Chunk *chunk = m_queue.front();
        m_queue.pop_front();
        m_writing = true;
        PosixFile *file = m_file;
        const bool failed = m_error != 0;
        lock.unlock();
        int error = 0;
        // After a failure the rest of the file is dropped; finish() reports the first error.
        if (!failed && file && !file->writeAll(chunk->data.get(), chunk->used))
            error = file->lastError() ? file->lastError() : EIO;
        lock.lock();
        if (error && !m_error)
            m_error = error;
        m_writing = false;
        m_free.push_back(chunk);
        m_chunkFree.notify_all();
    }
}

} // namespace platform
