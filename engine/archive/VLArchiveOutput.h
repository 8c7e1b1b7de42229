#pragma once

#include "engine/archive/VLSectionCipher.h"
#include "platform/files/PosixFile.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

// The container file being written. Small pieces are gathered and written in large ones; a
// failed write is logged and remembered, and the writing goes on, so that the step that ends
// the container can fail it for the system's reason.
class VLArchiveOutput final
{
public:
    VLArchiveOutput() = default;
    Q_DISABLE_COPY_MOVE(VLArchiveOutput)

    // Creates the file (owner read and write only), cut to nothing; false with fileError().
    [[nodiscard]] bool create(const QString &path);
    int fileError() const { return m_file.lastError(); }
    quint64 offset() const { return m_offset; }
    // The system error of the first failed write, or 0.
    int writeError() const { return m_writeError; }

    // Appends bytes as they stand.
    void write(const void *data, std::size_t size);
    // Appends the first `size` bytes of another file as they stand.
    void writeFile(const platform::PosixFile &source, std::uint64_t size);
    // Starts an enciphered section that writeData() feeds, with its key block.
    [[nodiscard]] bool beginSection(const VLSectionKeys &keys);
    // Appends bytes to the running section, or as they stand when none runs.
    void writeData(const void *data, std::size_t size);
    // Ends the running section with its HMAC; false when its bytes did not all reach the file.
    [[nodiscard]] bool endSection(QByteArray *hmac);

    // Writes what waits and closes the file. 0, or the system's error of a write or the close;
    // the file is then deleted.
    [[nodiscard]] int finish();
    // Closes and deletes a partly written container.
    void discard();

private:
    static constexpr std::size_t pieceSize = 512 * 1024;

    void flush();
    void writeNow(const void *data, std::size_t size);

    platform::PosixFile m_file;
    QString m_path;
    quint64 m_offset = 0;
    int m_writeError = 0;
    std::vector<std::uint8_t> m_pending; // written bytes not yet handed to the file
    std::unique_ptr<VLSectionEncoder> m_section;
};
