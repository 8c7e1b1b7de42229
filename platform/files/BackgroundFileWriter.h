#pragma once

#include "platform/files/PosixFile.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace platform {

// Writes a file on a worker thread so that producing its bytes (inflating them) and handing
// them to the kernel overlap. Memory stays fixed: a few buffers go round between the caller
// and the worker, and write() waits when all of them are queued.
class BackgroundFileWriter final
{
public:
    BackgroundFileWriter();
    ~BackgroundFileWriter();
    BackgroundFileWriter(const BackgroundFileWriter &) = delete;
    BackgroundFileWriter &operator=(const BackgroundFileWriter &) = delete;

    // Starts writing to the file, which stays the caller's and must outlive finish().
    void begin(PosixFile *file);
    void write(const void *data, std::size_t size);
    // Waits until every byte is written; 0 or the first system error number.
    int finish();

private:
    static constexpr std::size_t chunkSize = 256 * 1024;
    static constexpr int chunkCount = 4;
    struct Chunk
    {
        std::unique_ptr<char[]> data = std::make_unique<char[]>(chunkSize);
        std::size_t used = 0;
    };
    void run();
    void submitCurrent();

    std::mutex m_mutex;
    std::condition_variable m_workReady;
    std::condition_variable m_chunkFree;
    std::vector<Chunk *> m_free;
    std::deque<Chunk *> m_queue;
    std::vector<std::unique_ptr<Chunk>> m_chunks;
    Chunk *m_current = nullptr;
    PosixFile *m_file = nullptr;
    int m_error = 0;
    bool m_writing = false;
    bool m_stop = false;
    std::thread m_thread;
};

} // namespace platform
