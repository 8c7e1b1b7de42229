#pragma once

#include "platform/crypto/AesCbcCipher.h"
#include "platform/crypto/HmacSha256.h"
#include "platform/files/PosixFile.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// Reads and deciphers the rest of a section ahead of its consumer on a worker thread, feeding
// the section's HMAC on the way, so that deciphering and authenticating overlap inflating.
// Between start() and stop() the worker alone touches the file, the cipher and the HMAC.
// Memory stays fixed: a few chunks go round between the worker and the reader.
class VLDecipheringPrefetcher final
{
public:
    VLDecipheringPrefetcher();
    ~VLDecipheringPrefetcher();
    VLDecipheringPrefetcher(const VLDecipheringPrefetcher &) = delete;
    VLDecipheringPrefetcher &operator=(const VLDecipheringPrefetcher &) = delete;

    // Reads `size` bytes (a multiple of 16) from the file's position, deciphers them and feeds
    // the first `macBytes` plain bytes to the HMAC (when one is given).
    void start(platform::PosixFile *file, platform::crypto::AesCbcCipher *cipher, platform::crypto::HmacSha256 *hmac,
               std::uint64_t size, std::uint64_t macBytes);
    bool isActive() const { return m_active; }
    // The next plain bytes, in order; false on a read or decipher failure.
    [[nodiscard]] bool read(void *buffer, std::size_t size);
    // Plain bytes already deciphered but not read, at most `capacity` of them, then stops.
    std::size_t stop(void *rest = nullptr, std::size_t capacity = 0);

private:
    static constexpr std::size_t chunkSize = 64 * 1024;
    static constexpr int chunkCount = 4;
    struct Chunk
    {
        std::unique_ptr<std::uint8_t[]> data = std::make_unique<std::uint8_t[]>(chunkSize);
        std::size_t size = 0;
    };
    void run();
    void produce(std::unique_lock<std::mutex> &lock);

    std::mutex m_mutex;
    std::condition_variable m_work;
    std::condition_variable m_ready;
    std::vector<std::unique_ptr<Chunk>> m_chunks;
    std::vector<Chunk *> m_free;
    std::deque<Chunk *> m_filled;
    Chunk *m_current = nullptr;
    std::size_t m_currentAt = 0;

    platform::PosixFile *m_file = nullptr;
    platform::crypto::AesCbcCipher *m_cipher = nullptr;
    platform::crypto::HmacSha256 *m_hmac = nullptr;
    std::uint64_t m_remaining = 0;
    std::uint64_t m_macRemaining = 0;
    bool m_active = false;
    bool m_producing = false; // the worker owns the job
    bool m_cancel = false;
    bool m_failed = false;
    bool m_quit = false;
    std::thread m_thread;
};
