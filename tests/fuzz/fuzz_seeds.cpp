// fuzz_seeds DIR: writes small valid containers of several switch sets into DIR.
#include "FuzzShared.h"

#include "engine/archive/VLEncryptedArchive.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

namespace {

struct SwitchSet
{
    const char *name;
    bool encryptFiles, encryptDirectory, filesHmac, directoryHmac, compress;
    int bits;
    bool preview;
};

void write(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(path.left(path.lastIndexOf(u'/')));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    if (argc != 2) {
        std::fputs("usage: fuzz_seeds DIR\n", stderr);
        return 2;
    }
    const QString target = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(target);

    QTemporaryDir sources;
    const QString root = sources.filePath(QStringLiteral("Seed"));
    write(root + u"/hello.txt", "Hello, container!\n");
    write(root + u"/Sub/notes.md", QByteArray("# Notes\n").repeated(40));
    write(root + u"/Sub/empty", {});
    QFile::link(QStringLiteral("hello.txt"), root + u"/link");

    const SwitchSet sets[] = {
        {"default", true, true, true, true, true, 128, false},
        {"preview", true, true, true, true, true, 128, true},
        {"key192", true, true, true, true, true, 192, false},
        {"key256", true, true, true, true, false, 256, false},
        {"uncompressed", true, true, true, true, false, 128, false},
        {"nohmac", true, true, false, false, true, 128, false},
        {"filesonly", true, false, true, false, true, 128, false},
        {"directoryonly", false, true, false, true, true, 128, false},
        {"plain", false, false, false, false, true, 128, true},
        {"plainraw", false, false, false, false, false, 128, false},
    };
    const QStringList items{
        root, root + u"/hello.txt", root + u"/Sub", root + u"/Sub/notes.md", root + u"/Sub/empty", root + u"/link"};
    for (const SwitchSet &set : sets) {
        VLEncryptedArchive archive;
        archive.setEncryptFiles(set.encryptFiles);
        archive.setEncryptDirectory(set.encryptDirectory);
        archive.setCalculateFilesHmac(set.filesHmac);
        archive.setCalculateDirectoryHmac(set.directoryHmac);
        archive.setCompressFiles(set.compress);
        archive.setAESKeyBits(quint64(set.bits));
        archive.addItemsFromRoot(items, sources.path());
        archive.setPassword(fuzzPassword());
        archive.setPasswordHint(QStringLiteral("seed"));
        if (set.preview)
            archive.setPreview(QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(37, 'i'));
        archive.save(target + u'/' + QString::fromLatin1(set.name) + u".vault");
    }
    return 0;
}
