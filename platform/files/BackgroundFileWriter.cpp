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
    if (m_file)
        end({});
    drain();
    if (m_thread.joinable()) {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_workReady.notify_all();
        m_thread.join();
    }
}

void BackgroundFileWriter::begin(Opener opener)
{
    if (m_file)
        end({});
    if (!m_thread.joinable())
        m_thread = std::thread(&BackgroundFileWriter::run, this);
    std::unique_lock lock(m_mutex);
    m_progress.wait(lock, [this] { return m_files.size() < std::size_t(maxPendingFiles); });
    auto state = std::make_unique<FileState>();
    state->opener = std::move(opener);
    m_files.push_back(std::move(state));
    m_file = m_files.back().get();
}

void BackgroundFileWriter::write(const void *data, std::size_t size)
{
    const auto *bytes = static_cast<const char *>(data);
    while (size > 0 && m_file) {
        if (!m_current) {
            std::unique_lock lock(m_mutex);
            m_progress.wait(lock, [this] { return !m_free.empty(); });
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
    push(Job{m_file, m_current, {}});
    m_current = nullptr;
}

void BackgroundFileWriter::push(Job job)
{
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(job);
    }
    m_workReady.notify_one();
}

void BackgroundFileWriter::end(Completion completion)
{
    if (!m_file)
        return;
    submitCurrent();
    m_file->completion = std::move(completion);
    push(Job{m_file, nullptr, {}});
    m_file = nullptr;
}

void BackgroundFileWriter::post(std::function<void()> task)
{
    if (!m_thread.joinable())
        m_thread = std::thread(&BackgroundFileWriter::run, this);
    push(Job{nullptr, nullptr, std::move(task)});
}

void BackgroundFileWriter::drain()
{
    std::unique_lock lock(m_mutex);
    m_progress.wait(lock, [this] { return m_queue.empty() && !m_busy; });
}

void BackgroundFileWriter::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_workReady.wait(lock, [this] { return m_stop || !m_queue.empty(); });
        if (m_queue.empty())
            return;
        Job job = std::move(m_queue.front());
        m_queue.pop_front();
        m_busy = true;
        lock.unlock();
        if (job.task) {
            job.task();
            lock.lock();
            m_busy = false;
            m_progress.notify_all();
            continue;
        }
        FileState *file = job.file;
        if (!file->opened) {
            file->opened = true;
            int error = 0;
            file->file = file->opener(&error);
            if (!file->file.isOpen())
                file->error = error ? error : EIO;
        }
        if (job.chunk) {
            // After a failure the rest of the file is dropped; its completion hears of the first error.
            if (!file->error && !file->file.writeAll(job.chunk->data.get(), job.chunk->used))
                file->error = file->file.lastError() ? file->file.lastError() : EIO;
        } else {
            if (file->file.isOpen() && !file->file.close() && !file->error)
                file->error = file->file.lastError();
            if (file->completion)
                file->completion(file->error);
        }
        lock.lock();
        if (job.chunk)
            m_free.push_back(job.chunk);
        else
            m_files.pop_front();
        m_busy = false;
        m_progress.notify_all();
    }
}

} // namespace platform
