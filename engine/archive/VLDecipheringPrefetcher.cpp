#include "engine/archive/VLDecipheringPrefetcher.h"

#include "platform/core/Log.h"

#include <cstring>

using platform::crypto::CryptoStatus;

VLDecipheringPrefetcher::VLDecipheringPrefetcher()
{
    for (int i = 0; i < chunkCount; ++i) {
        m_chunks.push_back(std::make_unique<Chunk>());
        m_free.push_back(m_chunks.back().get());
    }
}

VLDecipheringPrefetcher::~VLDecipheringPrefetcher()
{
    stop();
    if (m_thread.joinable()) {
        {
            std::lock_guard lock(m_mutex);
            m_quit = true;
        }
        m_work.notify_all();
        m_thread.join();
    }
}

void VLDecipheringPrefetcher::start(platform::PosixFile *file, platform::crypto::AesCbcCipher *cipher,
                                    platform::crypto::HmacSha256 *hmac, std::uint64_t size, std::uint64_t macBytes)
{
    stop();
    if (!m_thread.joinable())
        m_thread = std::thread(&VLDecipheringPrefetcher::run, this);
    {
        std::lock_guard lock(m_mutex);
        m_file = file;
        m_cipher = cipher;
        m_hmac = hmac;
        m_remaining = size;
        m_macRemaining = macBytes;
        m_cancel = false;
        m_failed = false;
        m_active = true;
        m_producing = size > 0;
    }
    m_work.notify_one();
}

bool VLDecipheringPrefetcher::read(void *buffer, std::size_t size)
{
    auto *out = static_cast<std::uint8_t *>(buffer);
    while (size > 0) {
        if (!m_current) {
            std::unique_lock lock(m_mutex);
            m_ready.wait(lock, [this] { return !m_filled.empty() || !m_producing; });
            if (m_filled.empty())
                return false; // failed, or asked for more than the section holds
            m_current = m_filled.front();
            m_filled.pop_front();
            m_currentAt = 0;
        }
        const std::size_t n = std::min(size, m_current->size - m_currentAt);
        std::memcpy(out, m_current->data.get() + m_currentAt, n);
        m_currentAt += n;
        out += n;
        size -= n;
        if (m_currentAt == m_current->size) {
            {
                std::lock_guard lock(m_mutex);
                m_free.push_back(m_current);
            }
            m_current = nullptr;
            m_work.notify_one();
        }
    }
    return true;
}

std::size_t VLDecipheringPrefetcher::stop(void *rest, std::size_t capacity)
{
    if (!m_active)
        return 0;
    std::size_t kept = 0;
    std::unique_lock lock(m_mutex);
    m_cancel = true;
    m_work.notify_all();
    m_ready.wait(lock, [this] { return !m_producing; });
    if (m_current) {
        kept = std::min(capacity, m_current->size - m_currentAt);
        if (kept)
            std::memcpy(rest, m_current->data.get() + m_currentAt, kept);
        m_free.push_back(m_current);
        m_current = nullptr;
    }
    while (!m_filled.empty()) {
        m_free.push_back(m_filled.front());
        m_filled.pop_front();
    }
    m_active = false;
    m_file = nullptr;
    m_cipher = nullptr;
    m_hmac = nullptr;
    return kept;
}

void VLDecipheringPrefetcher::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_work.wait(lock, [this] { return m_quit || (m_producing && (!m_free.empty() || m_cancel)); });
        if (m_quit)
            return;
        produce(lock);
    }
}

// One chunk of work; called and returning with the lock held.
void VLDecipheringPrefetcher::produce(std::unique_lock<std::mutex> &lock)
{
    if (m_cancel || m_remaining == 0) {
        m_producing = false;
        m_ready.notify_all();
        return;
    }
    Chunk *chunk = m_free.back();
    m_free.pop_back();
    const std::size_t n = std::size_t(std::min<std::uint64_t>(chunkSize, m_remaining));
    const std::size_t mac = std::size_t(std::min<std::uint64_t>(n, m_macRemaining));
    platform::PosixFile *file = m_file;
    platform::crypto::AesCbcCipher *cipher = m_cipher;
    platform::crypto::HmacSha256 *hmac = m_hmac;
    lock.unlock();
    std::size_t produced = 0;
    bool ok = file->readFully(chunk->data.get(), n);
    if (ok) {
        const CryptoStatus status = cipher->update(chunk->data.get(), n, chunk->data.get(), chunkSize, &produced);
        ok = status == CryptoStatus::Success && produced == n;
        if (!ok)
            platform::log(QStringLiteral("Warning! Decryption update failed. Error %1").arg(platform::crypto::statusCode(status)));
    }
    if (ok && hmac)
        hmac->update(chunk->data.get(), mac);
    chunk->size = n;
    lock.lock();
    if (!ok) {
        m_failed = true;
        m_free.push_back(chunk);
        m_producing = false;
        m_ready.notify_all();
        return;
    }
    m_remaining -= n;
    m_macRemaining -= mac;
    m_filled.push_back(chunk);
    if (m_remaining == 0)
        m_producing = false;
    m_ready.notify_all();
}
