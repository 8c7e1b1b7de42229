// vaultbench encrypt --password P [--hint H] --out OUT.vault SRC...
// vaultbench decrypt --password P IN.vault DESTDIR
// vaultbench compare [DIR]
#include "engine/archive/VLEncryptedArchive.h"
#include "engine/jobs/VLTreeAdder.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <zlib.h>

#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <vector>

namespace {

void print(const QString &line, FILE *stream = stdout)
{
    std::fputs(qPrintable(line + u'\n'), stream);
    std::fflush(stream);
}

int usage()
{
    print(QStringLiteral("usage: vaultbench encrypt --password P [--hint H] --out OUT.vault SRC...\n"
                         "       vaultbench decrypt --password P IN.vault DESTDIR\n"
                         "       vaultbench compare [DIR]"),
          stderr);
    return 2;
}

// Collects the first error of an operation and prints it the way the tool promises.
class Reporter final : public VLEncryptedArchiveDelegate
{
public:
    Callbacks answeredCallbacks() const override { return Callback::OperationError; }
    void encryptedArchiveOperationError(VLEncryptedArchive *, const QVariantMap &info) override
    {
        const VLError error = info.value(VLEncryptedArchiveConstants::keyError).value<VLError>();
        code = int(error.code());
        underlying = info.value(VLEncryptedArchiveConstants::keyUnderlyingError).value<VLError>();
        if (const auto item = info.value(VLEncryptedArchiveConstants::keyItem).value<VLEncryptedArchiveItemPtr>())
            itemPath = item->path();
    }
    int finish() const
    {
        if (code == 0)
            return 0;
        if (!itemPath.isEmpty())
            print(QStringLiteral("item %1").arg(itemPath));
        if (underlying) {
            if (code == VLArchiveErrorExtractItem)
                print(QString::number(underlying.code()));
            else
                print(QStringLiteral("underlying %1").arg(underlying.description()));
        }
        print(QStringLiteral("error %1").arg(code));
        return 1;
    }
    int code = 0;
    VLError underlying;
    QString itemPath;
};

// The entries of a tree in pre-order, the root first, links not followed.
QStringList walk(const QString &root)
{
    QStringList paths{root};
    const QFileInfo info(root);
    if (info.isDir() && !info.isSymLink()) {
        QStringList children = QDir(root).entryList(
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
        for (const QString &child : children)
            paths += walk(root + u'/' + child);
    }
    return paths;
}

// Adds every source with the walk the encryption job uses, so that both capture a tree alike.
int addSources(VLEncryptedArchive &archive, const QStringList &sources)
{
    for (const QString &source : sources) {
        const QString path = QFileInfo(source).absoluteFilePath();
        if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink()) {
            print(QStringLiteral("no such source: %1").arg(source), stderr);
            return 2;
        }
        const QString root = QFileInfo(path).absolutePath();
        VLTreeAdder adder(archive);
        switch (adder.addTree(path, root)) {
        case VLTreeAdder::Outcome::Added:
        case VLTreeAdder::Outcome::Stopped:
            break;
        case VLTreeAdder::Outcome::EntryFailed:
            print(QStringLiteral("could not add %1").arg(adder.failedEntry()), stderr);
            return 2;
        case VLTreeAdder::Outcome::WalkIncomplete:
            print(QStringLiteral("could not walk all of %1").arg(source), stderr);
            return 2;
        }
    }
    return 0;
}

int encrypt(const QStringList &args)
{
    QString password, hint, out;
    QStringList sources;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == u"--password" && i + 1 < args.size())
            password = args[++i];
        else if (args[i] == u"--hint" && i + 1 < args.size())
            hint = args[++i];
        else if (args[i] == u"--out" && i + 1 < args.size())
            out = args[++i];
        else
            sources << args[i];
    }
    if (out.isEmpty() || sources.isEmpty())
        return usage();
    VLEncryptedArchive archive;
    Reporter reporter;
    archive.setDelegate(&reporter);
    if (const int result = addSources(archive, sources))
        return result;
    archive.setPassword(password);
    archive.setPasswordHint(hint);
    archive.save(out);
    return reporter.finish();
}

int decrypt(const QStringList &args)
{
    QString password;
    QStringList rest;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == u"--password" && i + 1 < args.size())
            password = args[++i];
        else
            rest << args[i];
    }
    if (rest.size() != 2)
        return usage();
    VLEncryptedArchive archive;
    Reporter reporter;
    archive.setDelegate(&reporter);
    archive.setPassword(password);
    archive.openArchive(rest[0]);
    if (reporter.code == 0)
        archive.extractAllItems(rest[1]);
    archive.closeArchive();
    return reporter.finish();
}

// ---- compare

// A corpus of text, binary and one large file, the same bytes on every run.
void writeCorpus(const QString &dir)
{
    static const char *const words[] = {
        "the",       "container", "holds",    "every",  "dropped", "item",       "in",       "one",
        "file",      "each",      "metadata", "and",    "content", "compressed", "with",     "zlib",
        "encrypted", "under",     "fresh",    "random", "keys",    "that",       "are",      "themselves",
        "derived",   "from",      "password", "a",      "central", "directory",  "is",       "authenticated",
        "hint",      "preview",   "small",    "image",  "window",  "screen",     "progress", "remaining",
        "time",      "estimate",  "drop",     "folder", "restore", "of",         "to",       "for",
        "on",        "at",        "by",       "it",     "as",      "be",         "this",     "we",
        "you",       "not",       "or",       "have",   "but",     "what",       "all",      "were",
        "when",      "there",     "can",      "an",     "which",   "their",      "if",       "do",
        "will",      "each",      "about",    "how",    "up",      "out",        "them",     "then",
        "she",       "many",      "some",     "so",     "these",   "would",      "other",    "into",
        "has",       "more",      "her",      "two",    "like",    "him",        "see",      "number",
        "no",        "way",       "could",    "people", "my",      "than",       "first",    "water",
        "been",      "call",      "who",      "oil",    "its",     "now",        "find",     "long",
        "down",      "day",       "did",      "get",    "come",    "made",       "may",      "part",
        "over",      "new",       "sound",    "take",   "only",    "little",
    };
    constexpr int wordCount = int(sizeof words / sizeof *words);
    QRandomGenerator rng(20261210);
    auto writeFile = [](const QString &path, const std::vector<char> &bytes) {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes.data(), qint64(bytes.size()));
    };
    auto text = [&](std::size_t size) {
        std::vector<char> out;
        out.reserve(size + 16);
        int column = 0;
        while (out.size() < size) {
            const char *word = words[rng.bounded(wordCount)];
            while (*word)
                out.push_back(*word++);
            column += 6;
            if (column > 70 || rng.bounded(40) == 0) {
                out.push_back(rng.bounded(5) == 0 ? '.' : ',');
                out.push_back('\n');
                column = 0;
            } else {
                out.push_back(' ');
            }
        }
        out.resize(size);
        return out;
    };
    // Binary data as it comes: tables of records with counters and noise, and stretches that
    // are already compressed (random).
    auto binary = [&](std::size_t size, bool random) {
        std::vector<char> out(size);
        if (random) {
            rng.fillRange(reinterpret_cast<quint32 *>(out.data()), qsizetype(size / 4));
            return out;
        }
        quint32 counter = rng.generate();
        for (std::size_t at = 0; at + 16 <= size; at += 16) {
            const quint32 record[4] = {counter++, quint32(rng.bounded(256)), 0x7f454c46u, quint32(at / 4096)};
            std::memcpy(out.data() + at, record, 16);
        }
        return out;
    };
    QDir().mkpath(dir + u"/text");
    QDir().mkpath(dir + u"/binary");
    for (int i = 0; i < 160; ++i)
        writeFile(QStringLiteral("%1/text/document-%2.txt").arg(dir).arg(i),
                  text(256 * 1024 + rng.bounded(512 * 1024)));
    for (int i = 0; i < 120; ++i)
        writeFile(QStringLiteral("%1/binary/data-%2.bin").arg(dir).arg(i),
                  binary(256 * 1024 + rng.bounded(512 * 1024), i % 3 == 0));
    // The large file alternates text and binary stretches.
    QFile large(dir + u"/large.dat");
    if (large.open(QIODevice::WriteOnly)) {
        for (int i = 0; i < 40; ++i) {
            const std::vector<char> block = i % 4 == 3 ? binary(4 << 20, i % 8 == 7) : text(4 << 20);
            large.write(block.data(), qint64(block.size()));
        }
    }
}

struct Totals
{
    quint64 bytes = 0;
    qint64 nanoseconds = 0;
    double megabytesPerSecond() const { return nanoseconds ? double(bytes) / 1e6 / (double(nanoseconds) / 1e9) : 0; }
};

QStringList regularFiles(const QString &dir)
{
    QStringList files;
    for (const QString &path : walk(dir)) {
        const QFileInfo info(path);
        if (info.isFile() && !info.isSymLink())
            files << path;
    }
    return files;
}

// Raw deflate of every file in 16 KiB pieces, level 6, one thread; the streams go to one file.
Totals rawDeflate(const QStringList &files, const QString &streamsPath, std::vector<quint64> &streamSizes)
{
    Totals totals;
    std::vector<unsigned char> in(16384), out(16384);
    QFile streams(streamsPath);
    if (!streams.open(QIODevice::WriteOnly))
        return totals;
    QElapsedTimer timer;
    timer.start();
    for (const QString &path : files) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
        if (fd < 0)
            continue;
        z_stream z{};
        deflateInit(&z, 6);
        quint64 produced = 0;
        for (;;) {
            const ssize_t n = ::read(fd, in.data(), in.size());
            if (n < 0)
                break;
            totals.bytes += quint64(n);
            z.next_in = in.data();
            z.avail_in = uInt(n);
            const int flush = n == 0 ? Z_FINISH : Z_NO_FLUSH;
            do {
                z.next_out = out.data();
                z.avail_out = uInt(out.size());
                deflate(&z, flush);
                const qint64 size = qint64(out.size() - z.avail_out);
                streams.write(reinterpret_cast<const char *>(out.data()), size);
                produced += quint64(size);
            } while (z.avail_out == 0);
            if (n == 0)
                break;
        }
        deflateEnd(&z);
        ::close(fd);
        streamSizes.push_back(produced);
    }
    streams.flush();
    totals.nanoseconds = timer.nsecsElapsed();
    return totals;
}

// Raw inflate of those streams into a 16 KiB buffer.
Totals rawInflate(const QString &streamsPath, const std::vector<quint64> &streamSizes)
{
    Totals totals;
    std::vector<unsigned char> in(16384), out(16384);
    const int fd = ::open(QFile::encodeName(streamsPath).constData(), O_RDONLY);
    if (fd < 0)
        return totals;
    QElapsedTimer timer;
    timer.start();
    for (const quint64 streamSize : streamSizes) {
        z_stream z{};
        inflateInit(&z);
        quint64 left = streamSize;
        int result = Z_OK;
        while (left > 0 && result != Z_STREAM_END) {
            const ssize_t n = ::read(fd, in.data(), std::size_t(std::min<quint64>(in.size(), left)));
            if (n <= 0)
                break;
            left -= quint64(n);
            z.next_in = in.data();
            z.avail_in = uInt(n);
            do {
                z.next_out = out.data();
                z.avail_out = uInt(out.size());
                result = inflate(&z, Z_NO_FLUSH);
                totals.bytes += out.size() - z.avail_out;
            } while (z.avail_out == 0 && result == Z_OK);
        }
        inflateEnd(&z);
    }
    totals.nanoseconds = timer.nsecsElapsed();
    ::close(fd);
    return totals;
}

quint64 peakResidentKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return quint64(usage.ru_maxrss);
}

int compare(const QStringList &args)
{
    QTemporaryDir work;
    if (!work.isValid())
        return 1;
    // Without DIR the corpus is generated in a temporary folder; a DIR that does not exist yet
    // receives the generated corpus and keeps it for later runs.
    QString corpus = args.value(0);
    if (corpus.isEmpty() || !QFileInfo::exists(corpus)) {
        if (corpus.isEmpty())
            corpus = work.path() + u"/corpus";
        print(QStringLiteral("generating corpus in %1").arg(corpus));
        writeCorpus(corpus);
    }
    corpus = QFileInfo(corpus).absoluteFilePath();
    const QStringList files = regularFiles(corpus);

    std::vector<quint64> streamSizes;
    const QString streams = work.path() + u"/streams.z";
    rawDeflate(files, streams, streamSizes); // warms the page cache
    streamSizes.clear();
    const Totals deflated = rawDeflate(files, streams, streamSizes);
    const Totals inflated = rawInflate(streams, streamSizes);
    QFile::remove(streams);

    Totals saved;
    {
        VLEncryptedArchive archive;
        Reporter reporter;
        archive.setDelegate(&reporter);
        addSources(archive, {corpus});
        archive.setPassword(QStringLiteral("benchmark"));
        QElapsedTimer timer;
        timer.start();
        archive.save(work.path() + u"/corpus.vault");
        saved.nanoseconds = timer.nsecsElapsed();
        saved.bytes = deflated.bytes;
        if (reporter.finish())
            return 1;
    }
    Totals extracted;
    {
        VLEncryptedArchive archive;
        Reporter reporter;
        archive.setDelegate(&reporter);
        archive.setPassword(QStringLiteral("benchmark"));
        const QString out = work.path() + u"/restored";
        QDir().mkpath(out);
        QElapsedTimer timer;
        timer.start();
        archive.openArchive(work.path() + u"/corpus.vault");
        archive.extractAllItems(out);
        extracted.nanoseconds = timer.nsecsElapsed();
        extracted.bytes = inflated.bytes;
        archive.closeArchive();
        if (reporter.finish())
            return 1;
    }

    print(QStringLiteral("corpus          %1 files, %2 MB")
              .arg(files.size())
              .arg(double(deflated.bytes) / 1e6, 0, 'f', 1));
    print(QStringLiteral("raw deflate     %1 MB/s").arg(deflated.megabytesPerSecond(), 0, 'f', 1));
    print(QStringLiteral("save            %1 MB/s").arg(saved.megabytesPerSecond(), 0, 'f', 1));
    print(QStringLiteral("raw inflate     %1 MB/s").arg(inflated.megabytesPerSecond(), 0, 'f', 1));
    print(QStringLiteral("extractAllItems %1 MB/s").arg(extracted.megabytesPerSecond(), 0, 'f', 1));
    print(QStringLiteral("save/deflate    %1")
              .arg(saved.megabytesPerSecond() / deflated.megabytesPerSecond(), 0, 'f', 3));
    print(QStringLiteral("extract/inflate %1")
              .arg(extracted.megabytesPerSecond() / inflated.megabytesPerSecond(), 0, 'f', 3));
    print(QStringLiteral("peak resident   %1 MiB").arg(double(peakResidentKiB()) / 1024.0, 0, 'f', 1));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QStringList args = application.arguments().mid(1);
    if (args.isEmpty())
        return usage();
    const QString command = args.takeFirst();
    if (command == u"encrypt")
        return encrypt(args);
    if (command == u"decrypt")
        return decrypt(args);
    if (command == u"compare")
        return compare(args);
    return usage();
}
