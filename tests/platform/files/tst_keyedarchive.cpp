#include "platform/files/KeyedArchive.h"

#include <QFile>
#include <QTest>

#include <plist/plist.h>

#include <cstdlib>

using platform::KeyedArchive::StringDataDictionary;

namespace {

QByteArray fixture(const char *name)
{
    QFile file(QStringLiteral(VAULTINE_TEST_DATA_DIR "/keyedarchive/") + QString::fromLatin1(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A canonical text of a property list: dictionaries by sorted key, arrays in order, so two
// writers' outputs compare by structure rather than by object placement in the binary form.
QString canonical(plist_t node)
{
    switch (plist_get_node_type(node)) {
    case PLIST_DICT: {
        QStringList entries;
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(node, &it);
        for (;;) {
            char *key = nullptr;
            plist_t value = nullptr;
            plist_dict_next_item(node, it, &key, &value);
            if (!key)
                break;
            entries << QString::fromUtf8(key) + u'=' + canonical(value);
            std::free(key);
        }
        std::free(it);
        entries.sort();
        return u'{' + entries.join(u',') + u'}';
    }
    case PLIST_ARRAY: {
        QStringList items;
        for (uint32_t i = 0; i < plist_array_get_size(node); ++i)
            items << canonical(plist_array_get_item(node, i));
        return u'[' + items.join(u',') + u']';
    }
    case PLIST_STRING: {
        char *value = nullptr;
        plist_get_string_val(node, &value);
        const QString text = u'"' + QString::fromUtf8(value) + u'"';
        std::free(value);
        return text;
    }
    case PLIST_DATA: {
        char *value = nullptr;
        uint64_t length = 0;
        plist_get_data_val(node, &value, &length);
        const QString text = u'<' + QString::fromLatin1(QByteArray(value, qsizetype(length)).toHex()) + u'>';
        std::free(value);
        return text;
    }
    case PLIST_UINT: {
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        return QString::number(value);
    }
    case PLIST_UID: {
        uint64_t value = 0;
        plist_get_uid_val(node, &value);
        return QStringLiteral("UID(%1)").arg(value);
    }
    default:
        return QStringLiteral("?");
    }
}

QString canonical(const QByteArray &binary)
{
    plist_t node = nullptr;
    plist_from_bin(binary.constData(), uint32_t(binary.size()), &node);
    if (!node)
        return {};
    const QString text = canonical(node);
    plist_free(node);
    return text;
}

QByteArray toBinary(plist_t node)
{
    char *bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(node, &bytes, &length);
    QByteArray result(bytes, qsizetype(length));
    plist_to_bin_free(bytes);
    plist_free(node);
    return result;
}

const QByteArray finderInfo = QByteArray::fromHex("5445585474747874010000000000000000000000000000000000000000000000");

} // namespace

class TestKeyedArchive : public QObject
{
    Q_OBJECT

private slots:
    void readsTheFixtures_data()
    {
        QTest::addColumn<QByteArray>("archive");
        QTest::addColumn<StringDataDictionary>("expected");
        QTest::newRow("NSDictionary, inline data")
            << fixture("dictionary.bplist")
            << StringDataDictionary{{QStringLiteral("com.apple.FinderInfo"), finderInfo},
                                    {QStringLiteral("note"), QByteArrayLiteral("hello")}};
        QTest::newRow("NSMutableDictionary, NSMutableData, NSMutableString key")
            << fixture("mutable.bplist")
            << StringDataDictionary{{QStringLiteral("com.apple.FinderInfo"), finderInfo},
                                    {QStringLiteral("note"), QByteArrayLiteral("hello")},
                                    {QStringLiteral("empty"), QByteArray()}};
        QTest::newRow("empty") << fixture("empty.bplist") << StringDataDictionary{};
    }

    void readsTheFixtures()
    {
        QFETCH(QByteArray, archive);
        QFETCH(StringDataDictionary, expected);
        QVERIFY(!archive.isEmpty());
        const auto read = platform::KeyedArchive::unarchiveDictionary(archive);
        QVERIFY(read);
        QCOMPARE(*read, expected);
    }

    void writesWhatTheFixtureHolds()
    {
        const StringDataDictionary dictionary{{QStringLiteral("com.apple.FinderInfo"), finderInfo},
                                              {QStringLiteral("note"), QByteArrayLiteral("hello")}};
        const QByteArray written = platform::KeyedArchive::archivedDataWithRootObject(dictionary);
        QVERIFY(written.startsWith("bplist00"));
        QCOMPARE(canonical(written), canonical(fixture("dictionary.bplist")));
        QCOMPARE(canonical(platform::KeyedArchive::archivedDataWithRootObject({})), canonical(fixture("empty.bplist")));
    }

    void roundTripsAwkwardContent()
    {
        QByteArray binary(70000, '\0');
        for (int i = 0; i < binary.size(); ++i)
            binary[i] = char(i * 7);
        const StringDataDictionary dictionary{{QStringLiteral("empty"), QByteArray()},
                                              {QStringLiteral("binary"), binary},
                                              {QStringLiteral("\u00e9t\u00e9 \u2603"), QByteArrayLiteral("\0\1\2")},
                                              {QString(), QByteArrayLiteral("no name")}};
        const auto read = platform::KeyedArchive::unarchiveDictionary(
            platform::KeyedArchive::archivedDataWithRootObject(dictionary));
        QVERIFY(read);
        QCOMPARE(*read, dictionary);
    }

    void refusesMalformedArchives_data()
    {
        QTest::addColumn<QByteArray>("archive");

        // Builds an archive like the fixture with one piece changed by the given function.
        const auto variant = [](const std::function<void(plist_t archive, plist_t objects, plist_t root)> &change) {
            plist_t archive = nullptr;
            const QByteArray base = fixture("dictionary.bplist");
            plist_from_bin(base.constData(), uint32_t(base.size()), &archive);
            plist_t objects = plist_dict_get_item(archive, "$objects");
            change(archive, objects, plist_array_get_item(objects, 1));
            return toBinary(archive);
        };

        QTest::newRow("no bytes") << QByteArray();
        QTest::newRow("not a property list") << QByteArrayLiteral("bplist00 but not really a property list");
        QTest::newRow("truncated") << fixture("dictionary.bplist").left(200);
        QTest::newRow("XML property list") << QByteArrayLiteral("<?xml version=\"1.0\"?><plist><dict/></plist>");
        QTest::newRow("other archiver") << variant(
            [](plist_t a, plist_t, plist_t) { plist_dict_set_item(a, "$archiver", plist_new_string("NSArchiver")); });
        QTest::newRow("other version") << variant(
            [](plist_t a, plist_t, plist_t) { plist_dict_set_item(a, "$version", plist_new_uint(99999)); });
        QTest::newRow("no top") << variant([](plist_t a, plist_t, plist_t) { plist_dict_remove_item(a, "$top"); });
        QTest::newRow("root is $null") << variant([](plist_t a, plist_t, plist_t) {
            plist_dict_set_item(plist_dict_get_item(a, "$top"), "root", plist_new_uid(0));
        });
        QTest::newRow("root out of range") << variant([](plist_t a, plist_t, plist_t) {
            plist_dict_set_item(plist_dict_get_item(a, "$top"), "root", plist_new_uid(4000000000u));
        });
        QTest::newRow("root is an array")
            << variant([](plist_t, plist_t objects, plist_t) { plist_array_set_item(objects, plist_new_array(), 1); });
        QTest::newRow("root class NSArray") << variant([](plist_t, plist_t objects, plist_t) {
            plist_dict_set_item(plist_array_get_item(objects, 6), "$classname", plist_new_string("NSArray"));
        });
        QTest::newRow("more keys than objects") << variant([](plist_t, plist_t, plist_t root) {
            plist_array_append_item(plist_dict_get_item(root, "NS.keys"), plist_new_uid(2));
        });
        QTest::newRow("value is a string") << variant([](plist_t, plist_t, plist_t root) {
            plist_array_set_item(plist_dict_get_item(root, "NS.objects"), plist_new_uid(2), 0);
        });
        QTest::newRow("key is data") << variant([](plist_t, plist_t, plist_t root) {
            plist_array_set_item(plist_dict_get_item(root, "NS.keys"), plist_new_uid(4), 0);
        });
        QTest::newRow("value is $null") << variant([](plist_t, plist_t, plist_t root) {
            plist_array_set_item(plist_dict_get_item(root, "NS.objects"), plist_new_uid(0), 1);
        });
        QTest::newRow("key reference is no UID") << variant([](plist_t, plist_t, plist_t root) {
            plist_array_set_item(plist_dict_get_item(root, "NS.keys"), plist_new_uint(2), 0);
        });
        QTest::newRow("value points at the dictionary") << variant([](plist_t, plist_t, plist_t root) {
            plist_array_set_item(plist_dict_get_item(root, "NS.objects"), plist_new_uid(1), 0);
        });
    }

    void refusesMalformedArchives()
    {
        QFETCH(QByteArray, archive);
        QVERIFY(!platform::KeyedArchive::unarchiveDictionary(archive));
    }

    // Every single-byte corruption and every truncation of a real archive either decodes to some
    // dictionary or is refused; none may crash or read out of bounds (run under the sanitizers).
    void survivesDamagedBytes()
    {
        const QByteArray original = fixture("mutable.bplist");
        QVERIFY(!original.isEmpty());
        int refused = 0;
        for (qsizetype i = 0; i < original.size(); ++i) {
            for (const char flip : {char(0x01), char(0x80), char(0xff)}) {
                QByteArray damaged = original;
                damaged[i] = char(damaged[i] ^ flip);
                refused += platform::KeyedArchive::unarchiveDictionary(damaged) ? 0 : 1;
            }
            refused += platform::KeyedArchive::unarchiveDictionary(original.left(i)) ? 0 : 1;
        }
        QVERIFY(refused > 0);
    }
};

QTEST_GUILESS_MAIN(TestKeyedArchive)
#include "tst_keyedarchive.moc"
