#include "platform/files/ThemeIcons.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMimeDatabase>
#include <QStandardPaths>
#include <QTextStream>

#include <limits>
#include <mutex>

// QIcon's theme loader belongs to the GUI thread, but type icons are needed on work threads,
// so the freedesktop icon-theme lookup is done here on plain files.

namespace platform {

namespace {

const QString baseTheme = QStringLiteral("Adwaita");
const QString fallbackTheme = QStringLiteral("hicolor");

struct ThemeDirectory
{
    QString path; // relative to the theme's folder
    int size = 0;
    int scale = 1;
    int minSize = 0;
    int maxSize = 0;
    int threshold = 2;
    enum class Type { Fixed, Scalable, Threshold } type = Type::Threshold;

    bool matches(int wanted) const
    {
        switch (type) {
        case Type::Fixed:
            return size == wanted;
        case Type::Scalable:
            return minSize <= wanted && wanted <= maxSize;
        case Type::Threshold:
            return size - threshold <= wanted && wanted <= size + threshold;
        }
        return false;
    }

    // Which directory serves a wanted size best: an exact match, else the nearest larger one
    // (scaled down), else the nearest smaller one.
    std::pair<int, int> rank(int wanted) const
    {
        if (matches(wanted))
            return {0, 0};
        const int nominal = type == Type::Scalable ? maxSize : size;
        return {nominal >= wanted ? 1 : 2, qAbs(nominal - wanted)};
    }
};

struct Theme
{
    QStringList roots; // every base folder that has this theme
    QList<ThemeDirectory> directories;
    QStringList inherits;
};

QStringList iconBaseFolders()
{
    QStringList folders;
    folders << QDir::homePath() + QStringLiteral("/.icons");
    for (const QString &data : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        folders << data + QStringLiteral("/icons");
    folders << QStringLiteral("/usr/share/icons");
    folders.removeDuplicates();
    return folders;
}

// index.theme is a small INI file; only the keys the lookup needs are read.
QHash<QString, QHash<QString, QString>> readIndex(const QString &file)
{
    QHash<QString, QHash<QString, QString>> groups;
    QFile index(file);
    if (!index.open(QIODevice::ReadOnly | QIODevice::Text))
        return groups;
    QTextStream in(&index);
    QString group;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            group = line.mid(1, line.size() - 2);
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (equals > 0)
            groups[group].insert(line.left(equals).trimmed(), line.mid(equals + 1).trimmed());
    }
    return groups;
}

Theme loadTheme(const QString &name)
{
    Theme theme;
    for (const QString &base : iconBaseFolders()) {
        const QString root = base + u'/' + name;
        if (!QFileInfo(root).isDir())
            continue;
        theme.roots << root;
        if (!theme.directories.isEmpty())
            continue;
        const auto index = readIndex(root + QStringLiteral("/index.theme"));
        const auto header = index.value(QStringLiteral("Icon Theme"));
        theme.inherits = header.value(QStringLiteral("Inherits")).split(u',', Qt::SkipEmptyParts);
        const QStringList names = header.value(QStringLiteral("Directories")).split(u',', Qt::SkipEmptyParts);
        for (const QString &dirName : names) {
            const auto keys = index.value(dirName);
            ThemeDirectory dir;
            dir.path = dirName;
            dir.size = keys.value(QStringLiteral("Size")).toInt();
            dir.scale = qMax(1, keys.value(QStringLiteral("Scale"), QStringLiteral("1")).toInt());
            dir.minSize = keys.value(QStringLiteral("MinSize"), QString::number(dir.size)).toInt();
            dir.maxSize = keys.value(QStringLiteral("MaxSize"), QString::number(dir.size)).toInt();
            dir.threshold = keys.value(QStringLiteral("Threshold"), QStringLiteral("2")).toInt();
            const QString type = keys.value(QStringLiteral("Type"), QStringLiteral("Threshold"));
            dir.type = type == u"Fixed"      ? ThemeDirectory::Type::Fixed
                       : type == u"Scalable" ? ThemeDirectory::Type::Scalable
                                             : ThemeDirectory::Type::Threshold;
            if (dir.size > 0 && dir.scale == 1)
                theme.directories << dir;
        }
    }
    return theme;
}

class ThemeCache
{
public:
    static ThemeCache &instance()
    {
        static ThemeCache cache;
        return cache;
    }

    QString lookup(const QString &iconName, int size)
    {
        std::lock_guard lock(m_mutex);
        const QString key = iconName + u'@' + QString::number(size);
        const auto cached = m_found.constFind(key);
        if (cached != m_found.constEnd())
            return *cached;
        QStringList visited;
        QString found = lookupIn(baseTheme, iconName, size, visited);
        if (found.isEmpty() && !visited.contains(fallbackTheme))
            found = lookupIn(fallbackTheme, iconName, size, visited);
        m_found.insert(key, found);
        return found;
    }

private:
    const Theme &theme(const QString &name)
    {
        auto it = m_themes.find(name);
        if (it == m_themes.end())
            it = m_themes.insert(name, loadTheme(name));
        return *it;
    }

    QString lookupIn(const QString &themeName, const QString &iconName, int size, QStringList &visited)
    {
        if (visited.contains(themeName))
            return {};
        visited << themeName;
        const Theme &found = theme(themeName);
        if (QString file = lookupInTheme(found, iconName, size); !file.isEmpty())
            return file;
        for (const QString &parent : found.inherits) {
            if (QString file = lookupIn(parent.trimmed(), iconName, size, visited); !file.isEmpty())
                return file;
        }
        return {};
    }

    static QString lookupInTheme(const Theme &theme, const QString &iconName, int size)
    {
        static const QStringList extensions = {QStringLiteral(".png"), QStringLiteral(".svg")};
        QString best;
        std::pair<int, int> bestRank{std::numeric_limits<int>::max(), 0};
        for (const ThemeDirectory &dir : theme.directories) {
            const auto rank = dir.rank(size);
            if (!(rank < bestRank))
                continue;
            const QString file = findFile(theme.roots, dir.path, iconName, extensions);
            if (file.isEmpty())
                continue;
            best = file;
            bestRank = rank;
            if (rank.first == 0)
                break;
        }
        return best;
    }

    static QString findFile(const QStringList &roots, const QString &dir, const QString &iconName,
                            const QStringList &extensions)
    {
        for (const QString &root : roots) {
            for (const QString &extension : extensions) {
                const QString file = root + u'/' + dir + u'/' + iconName + extension;
                if (QFileInfo::exists(file))
                    return file;
            }
        }
        return {};
    }

    std::mutex m_mutex;
    QHash<QString, Theme> m_themes;
    QHash<QString, QString> m_found;
};

QStringList iconNamesForPath(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return {QStringLiteral("folder"), QStringLiteral("inode-directory")};
    const QMimeDatabase mimes;
    const QMimeType type = mimes.mimeTypeForFile(info);
    QStringList names = {type.iconName(), type.genericIconName()};
    for (const QString &parentName : type.allAncestors()) {
        const QMimeType parent = mimes.mimeTypeForName(parentName);
        names << parent.iconName() << parent.genericIconName();
    }
    names << (info.isExecutable() ? QStringLiteral("application-x-executable")
                                  : QStringLiteral("application-x-generic"))
          << QStringLiteral("text-x-generic");
    names.removeAll(QString());
    names.removeDuplicates();
    return names;
}

} // namespace

QString themeIconFile(const QString &iconName, int pixelSize)
{
    if (iconName.isEmpty() || pixelSize <= 0)
        return {};
    return ThemeCache::instance().lookup(iconName, pixelSize);
}

QString typeIconFileForPath(const QString &path, int pixelSize)
{
    if (path.isEmpty() || !QFileInfo::exists(path))
        return {};
    for (const QString &name : iconNamesForPath(path)) {
        if (QString file = themeIconFile(name, pixelSize); !file.isEmpty())
            return file;
    }
    return {};
}

} // namespace platform
