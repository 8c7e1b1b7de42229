#pragma once

#include <QFile>
#include <QString>

#include <acl/libacl.h>
#include <sys/acl.h>

// POSIX ACLs of test files in libacl's short numeric text form ("u::rw-,u:1000:r--,...").
namespace AclText {

// The ACL of a path, or "" without one.
inline QString of(const QString &path, acl_type_t type = ACL_TYPE_ACCESS)
{
    acl_t acl = ::acl_get_file(QFile::encodeName(path).constData(), type);
    if (!acl)
        return {};
    char *text = ::acl_to_any_text(acl, nullptr, ',', TEXT_ABBREVIATE | TEXT_NUMERIC_IDS);
    const QString result = QString::fromUtf8(text);
    ::acl_free(text);
    ::acl_free(acl);
    return result;
}

// False where the file system takes no ACLs.
inline bool set(const QString &path, const QString &text, acl_type_t type = ACL_TYPE_ACCESS)
{
    acl_t acl = ::acl_from_text(text.toUtf8().constData());
    if (!acl)
        return false;
    const bool ok = ::acl_set_file(QFile::encodeName(path).constData(), type, acl) == 0;
    ::acl_free(acl);
    return ok;
}

} // namespace AclText
