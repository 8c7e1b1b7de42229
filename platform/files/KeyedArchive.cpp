#include "platform/files/KeyedArchive.h"

#include <plist/plist.h>

#include <cstdlib>
#include <memory>

namespace platform::KeyedArchive {
namespace {

constexpr quint64 archiveVersion = 100000;
constexpr char archiverName[] = "NSKeyedArchiver";

struct PlistDeleter
{
    void operator()(plist_t node) const { ::plist_free(node); }
};
using Plist = std::unique_ptr<void, PlistDeleter>;

plist_t newString(const QString &text)
{
    return ::plist_new_string(text.toUtf8().constData());
}

plist_t newClass(const char *name, std::initializer_list<const char *> classes)
{
    plist_t entry = ::plist_new_dict();
    ::plist_dict_set_item(entry, "$classname", ::plist_new_string(name));
    plist_t list = ::plist_new_array();
    for (const char *c : classes)
        ::plist_array_append_item(list, ::plist_new_string(c));
    ::plist_dict_set_item(entry, "$classes", list);
    return entry;
}

std::optional<QString> stringOf(plist_t node)
{
    if (!node || ::plist_get_node_type(node) != PLIST_STRING)
        return std::nullopt;
    char *value = nullptr;
    ::plist_get_string_val(node, &value);
    if (!value)
        return std::nullopt;
    QString text = QString::fromUtf8(value);
    std::free(value);
    return text;
}

std::optional<quint64> uidOf(plist_t node)
{
    if (!node || ::plist_get_node_type(node) != PLIST_UID)
        return std::nullopt;
    uint64_t value = 0;
    ::plist_get_uid_val(node, &value);
    return value;
}

// Reads one archived object graph: "$objects" indexed by UIDs, classes described by
// {"$classname", "$classes"} entries.
class Reader
{
public:
    explicit Reader(plist_t objects) : m_objects(objects), m_count(::plist_array_get_size(objects)) {}

    plist_t object(plist_t reference) const
    {
        const std::optional<quint64> uid = uidOf(reference);
        // UID 0 is "$null": no object may be nil in a dictionary.
        if (!uid || *uid == 0 || *uid >= m_count)
            return nullptr;
        return ::plist_array_get_item(m_objects, uint32_t(*uid));
    }

    std::optional<QString> className(plist_t instance) const
    {
        plist_t description = object(::plist_dict_get_item(instance, "$class"));
        if (!description || ::plist_get_node_type(description) != PLIST_DICT)
            return std::nullopt;
        return stringOf(::plist_dict_get_item(description, "$classname"));
    }

    std::optional<QString> string(plist_t reference) const
    {
        plist_t node = object(reference);
        if (!node)
            return std::nullopt;
        if (::plist_get_node_type(node) == PLIST_STRING)
            return stringOf(node);
        // NSMutableString is archived as an instance with "NS.string".
        if (::plist_get_node_type(node) == PLIST_DICT) {
            const std::optional<QString> name = className(node);
            if (name == u"NSMutableString" || name == u"NSString")
                return stringOf(::plist_dict_get_item(node, "NS.string"));
        }
        return std::nullopt;
    }

    std::optional<QByteArray> data(plist_t reference) const
    {
        plist_t node = object(reference);
        if (!node)
            return std::nullopt;
        // NSData is archived inline; NSMutableData as an instance with "NS.data".
        if (::plist_get_node_type(node) == PLIST_DICT) {
            const std::optional<QString> name = className(node);
            if (name != u"NSMutableData" && name != u"NSData")
                return std::nullopt;
            node = ::plist_dict_get_item(node, "NS.data");
            if (!node)
                return std::nullopt;
        }
        if (::plist_get_node_type(node) != PLIST_DATA)
            return std::nullopt;
        char *bytes = nullptr;
        uint64_t length = 0;
        ::plist_get_data_val(node, &bytes, &length);
        QByteArray value(bytes, qsizetype(length));
        std::free(bytes);
        return value;
    }

private:
    plist_t m_objects;
    quint64 m_count;
};

} // namespace

QByteArray archivedDataWithRootObject(const StringDataDictionary &dictionary)
{
    // Objects in the order the platform's archiver emits them: "$null", the dictionary, its keys,
    // its values, then the dictionary's class description.
    const auto count = uint64_t(dictionary.size());
    Plist objects(::plist_new_array());
    ::plist_array_append_item(objects.get(), ::plist_new_string("$null"));

    plist_t root = ::plist_new_dict();
    plist_t keys = ::plist_new_array();
    plist_t values = ::plist_new_array();
    for (uint64_t i = 0; i < count; ++i) {
        ::plist_array_append_item(keys, ::plist_new_uid(2 + i));
        ::plist_array_append_item(values, ::plist_new_uid(2 + count + i));
    }
    ::plist_dict_set_item(root, "NS.keys", keys);
    ::plist_dict_set_item(root, "NS.objects", values);
    ::plist_dict_set_item(root, "$class", ::plist_new_uid(2 + 2 * count));
    ::plist_array_append_item(objects.get(), root);
    for (auto it = dictionary.cbegin(); it != dictionary.cend(); ++it)
        ::plist_array_append_item(objects.get(), newString(it.key()));
    for (auto it = dictionary.cbegin(); it != dictionary.cend(); ++it)
        ::plist_array_append_item(objects.get(), ::plist_new_data(it.value().constData(), uint64_t(it.value().size())));
    ::plist_array_append_item(objects.get(), newClass("NSDictionary", {"NSDictionary", "NSObject"}));

    Plist archive(::plist_new_dict());
    ::plist_dict_set_item(archive.get(), "$version", ::plist_new_uint(archiveVersion));
    ::plist_dict_set_item(archive.get(), "$archiver", ::plist_new_string(archiverName));
    plist_t top = ::plist_new_dict();
    ::plist_dict_set_item(top, "root", ::plist_new_uid(1));
    ::plist_dict_set_item(archive.get(), "$top", top);
    ::plist_dict_set_item(archive.get(), "$objects", objects.release());

    char *bytes = nullptr;
    uint32_t length = 0;
    ::plist_to_bin(archive.get(), &bytes, &length);
    QByteArray result(bytes, qsizetype(length));
    ::plist_to_bin_free(bytes);
    return result;
}

std::optional<StringDataDictionary> unarchiveDictionary(const QByteArray &archive)
{
    if (archive.size() < 8 || !archive.startsWith("bplist00") || archive.size() > qsizetype(UINT32_MAX))
        return std::nullopt;
    plist_t parsed = nullptr;
    ::plist_from_bin(archive.constData(), uint32_t(archive.size()), &parsed);
    const Plist plist(parsed);
    if (!plist || ::plist_get_node_type(parsed) != PLIST_DICT)
        return std::nullopt;

    if (stringOf(::plist_dict_get_item(parsed, "$archiver")) != QLatin1StringView(archiverName))
        return std::nullopt;
    plist_t version = ::plist_dict_get_item(parsed, "$version");
    uint64_t versionValue = 0;
    if (!version || ::plist_get_node_type(version) != PLIST_UINT)
        return std::nullopt;
    ::plist_get_uint_val(version, &versionValue);
    if (versionValue != archiveVersion)
        return std::nullopt;
    plist_t objects = ::plist_dict_get_item(parsed, "$objects");
    plist_t top = ::plist_dict_get_item(parsed, "$top");
    if (!objects || ::plist_get_node_type(objects) != PLIST_ARRAY || !top || ::plist_get_node_type(top) != PLIST_DICT)
        return std::nullopt;

    const Reader reader(objects);
    plist_t root = reader.object(::plist_dict_get_item(top, "root"));
    if (!root || ::plist_get_node_type(root) != PLIST_DICT)
        return std::nullopt;
    const std::optional<QString> rootClass = reader.className(root);
    if (rootClass != u"NSDictionary" && rootClass != u"NSMutableDictionary")
        return std::nullopt;

    plist_t keys = ::plist_dict_get_item(root, "NS.keys");
    plist_t values = ::plist_dict_get_item(root, "NS.objects");
    if (!keys || !values || ::plist_get_node_type(keys) != PLIST_ARRAY || ::plist_get_node_type(values) != PLIST_ARRAY)
        return std::nullopt;
    const uint32_t count = ::plist_array_get_size(keys);
    if (::plist_array_get_size(values) != count)
        return std::nullopt;

    StringDataDictionary dictionary;
    for (uint32_t i = 0; i < count; ++i) {
        const std::optional<QString> key = reader.string(::plist_array_get_item(keys, i));
        const std::optional<QByteArray> value = reader.data(::plist_array_get_item(values, i));
        if (!key || !value)
            return std::nullopt;
        dictionary.insert(*key, *value);
    }
    return dictionary;
}

} // namespace platform::KeyedArchive
