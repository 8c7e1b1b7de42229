#pragma once

#include "platform/files/PosixFile.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace platform {

// Writes files on a worker thread, so that producing a file's bytes (inflating them) overlaps
// handing the previous ones to the kernel. Each file is written in order, closed, and then its
// completion runs on the worker with the file's result. Memory stays fixed: a few buffers go
// round between the caller and the worker, and the caller waits when all of them are queued.
class BackgroundFileWriter final
{
public:
    using Completion = std::function<void(int error)>;
    // Makes the file on the worker thread; an unopened file with the system error in `error` on failure.
    using Opener = std::function<PosixFile(int *error)>;

    BackgroundFileWriter();
    ~BackgroundFileWriter();
    BackgroundFileWriter(const BackgroundFileWriter &) = delete;
    BackgroundFileWriter &operator=(const BackgroundFileWriter &) = delete;

    // Starts the next file, which the worker makes with `opener` before its first byte.
    void begin(Opener opener);
    void write(const void *data, std::size_t size);
    // Ends the current file: once its bytes are written and it is closed, `completion` runs on
    // the worker with 0 or the first system error of its writes.
    void end(Completion completion);
    // Runs a task on the worker after everything handed over before it.
    void post(std::function<void()> task);
    // Waits until every file handed over has been written and completed.
    void drain();

private:
    static constexpr std::size_t chunkSize = 256 * 1024;
    static constexpr int chunkCount = 4;
    static constexpr int maxPendingFiles = 64;
    struct FileState
    {
        Opener opener;
        PosixFile file;
        int error = 0;
        bool opened = false;
        Completion completion;
    };
    struct Chunk
    {
        std::unique_ptr<char[]> data = std::make_unique<char[]>(chunkSize);
        std::size_t used = 0;
    };
    struct Job
    {
        FileState *file = nullptr;
        Chunk *chunk = nullptr; // null: the end of the file
        std::function<void()> task; // set: a task, no file
    };
    void run();
    void submitCurrent();
    void push(Job job);

    std::mutex m_mutex;
    std::condition_variable m_workReady;
    std::condition_variable m_progress;
    std::vector<std::unique_ptr<Chunk>> m_chunks;
    std::vector<Chunk *> m_free;
    std::deque<Job> m_queue;
    std::deque<std::unique_ptr<FileState>> m_files; // in writing order; the front is the worker's
    bool m_busy = false;
    bool m_stop = false;
    Chunk *m_current = nullptr;
    FileState *m_file = nullptr; // the caller's current file
    std::thread m_thread;
};

} // namespace platform
