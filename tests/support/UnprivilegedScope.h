#pragma once

#include <QByteArray>
#include <QDirIterator>
#include <QFile>
#include <QString>

#include <sys/types.h>
#include <unistd.h>

// Permission faults need a user that permissions bind. Under the superuser (as in containers),
// this hands the given trees to "nobody" and takes that identity until the scope ends, so that
// an unreadable file really is unreadable. For other users it does nothing.
class UnprivilegedScope final
{
public:
    static constexpr uid_t nobody = 65534;

    // Items in `keep` stay the superuser's: "nobody" may not change their permissions.
    explicit UnprivilegedScope(const QStringList &trees, const QStringList &keep = {})
    {
        if (::geteuid() != 0)
            return;
        for (const QString &tree : trees) {
            give(tree);
            QDirIterator it(tree, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                            QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString path = it.next();
                if (!keep.contains(path))
                    give(path);
            }
        }
        // Real and effective identity both, so that access() answers for "nobody" too; the saved
        // identity stays the superuser's, to come back.
        m_active = ::setresgid(nobody, nobody, 0) == 0 && ::setresuid(nobody, nobody, 0) == 0;
    }

    ~UnprivilegedScope()
    {
        if (m_active) {
            [[maybe_unused]] const int u = ::setresuid(0, 0, 0);
            [[maybe_unused]] const int g = ::setresgid(0, 0, 0);
        }
    }

    UnprivilegedScope(const UnprivilegedScope &) = delete;
    UnprivilegedScope &operator=(const UnprivilegedScope &) = delete;

    // False when the superuser could not step down; permission tests should then skip.
    bool isEffective() const { return ::geteuid() != 0; }

private:
    static void give(const QString &path)
    {
        [[maybe_unused]] const int r = ::lchown(QFile::encodeName(path).constData(), nobody, nobody);
    }

    bool m_active = false;
};
