#include "engine/files/NSStringAdditions.h"
#include "engine/files/VLPasteboardItem.h"
#include "platform/core/Log.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace NSStringAdditions;

class TestNSStringAdditions : public QObject
{
    Q_OBJECT

private slots:
    void urlEscaping_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("escaped");
        QTest::newRow("blank and ampersand") << QStringLiteral("a b&c") << QStringLiteral("a%20b%26c");
        QTest::newRow("delimiters") << QStringLiteral("!*'();:@&=+$,/?%#[]")
                                    << QStringLiteral("%21%2A%27%28%29%3B%3A%40%26%3D%2B%24%2C%2F%3F%25%23%5B%5D");
        QTest::newRow("unreserved stay") << QStringLiteral("Az09-._~") << QStringLiteral("Az09-._~");
        QTest::newRow("en dash as UTF-8")
            << QStringLiteral("Files \u2013 Icon") << QStringLiteral("Files%20%E2%80%93%20Icon");
        QTest::newRow("empty") << QString() << QString();
    }

    void urlEscaping()
    {
        QFETCH(QString, text);
        QFETCH(QString, escaped);
        QCOMPARE(swp_stringEncodedAsURL(text), escaped);
        QCOMPARE(stringByEncodingURLEscapes(text), escaped);
        QCOMPARE(stringByDecodingURLEscapes(escaped), text);
    }

    void decodingTurnsPlusIntoBlank()
    {
        QCOMPARE(stringByDecodingURLEscapes(QStringLiteral("a+b%2Bc")), QStringLiteral("a b+c"));
    }

    void subpaths_data()
    {
        QTest::addColumn<QString>("self");
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("expected");
        QTest::newRow("child") << QStringLiteral("/a/b/c") << QStringLiteral("/a/b") << true;
        QTest::newRow("same") << QStringLiteral("/a/b") << QStringLiteral("/a/b") << true;
        QTest::newRow("sibling prefix") << QStringLiteral("/a/bc") << QStringLiteral("/a/b") << false;
        QTest::newRow("shorter") << QStringLiteral("/a") << QStringLiteral("/a/b") << false;
        QTest::newRow("root") << QStringLiteral("/x") << QStringLiteral("/") << true;
        QTest::newRow("not contained") << QStringLiteral("/x/y/z") << QStringLiteral("/a") << false;
    }

    void subpaths()
    {
        QFETCH(QString, self);
        QFETCH(QString, path);
        QFETCH(bool, expected);
        QCOMPARE(isSubpathOf(self, path), expected);
    }

    void textCleaning()
    {
        QCOMPARE(stringByRemovingSpaces(QStringLiteral("a b-c_d,e.f:g;h\ni9")), QStringLiteral("abcdefghi9"));
        QCOMPARE(stringByRemovingSpacesAndNumbers(QStringLiteral("a 1b-2c9")), QStringLiteral("abc"));
        QCOMPARE(stringWithSubstituteForCharactersFromSet(QStringLiteral("a/b:c"), QStringLiteral("_"),
                                                          QStringLiteral("/:")),
                 QStringLiteral("a_b_c"));
        QCOMPARE(trimWhiteSpace(QStringLiteral(" \n\tword \r\n")), QStringLiteral("word"));
        QCOMPARE(stringWithCapitalizedFirstLetter(QStringLiteral("vault file")), QStringLiteral("Vault file"));
        QCOMPARE(stringWithCapitalizedFirstLetter(QString()), QString());
        QCOMPARE(stringByReplacingOccurrencesOfStringWithString(QStringLiteral("a-b-c"), QStringLiteral("-"),
                                                                QStringLiteral("--")),
                 QStringLiteral("a--b--c"));
        // An empty target must not insert the replacement everywhere.
        QCOMPARE(stringByReplacingOccurrencesOfStringWithString(QStringLiteral("abc"), QString(), QStringLiteral("x")),
                 QStringLiteral("abc"));
        QCOMPARE(stringByRemovingSemicolonSeparatedString(QStringLiteral(" a : b:a :c"), QStringLiteral("a")),
                 QStringLiteral("b:c"));
    }

    void words()
    {
        QCOMPARE(ellipsizeAfterNWords(QStringLiteral("one  two three four"), 2), QStringLiteral("one two"));
        QCOMPARE(ellipsizeAfterNWords(QStringLiteral("one two"), 5), QStringLiteral("one two"));
        QCOMPARE(stringByDividingIntoPartsWithSize(QStringLiteral("abcdefgh"), 4), QStringLiteral("abcd-efgh"));
        QCOMPARE(stringByDividingIntoPartsWithSize(QStringLiteral("abcdefghi"), 4), QStringLiteral("abcd-efgh-i"));
        QCOMPARE(stringByDividingIntoPartsWithSize(QStringLiteral("abc"), 0), QStringLiteral("abc"));
    }

    void html()
    {
        QCOMPARE(stripHTML(QStringLiteral("a<b>bold</b>c")), QStringLiteral("a bold c"));
        QCOMPARE(stripHTML(QStringLiteral("x<a <b>>y")), QStringLiteral("x y"));
        // A stray ">" is kept as text and does not swallow what follows.
        QCOMPARE(stripHTML(QStringLiteral("1 > 0 <i>ok</i>")), QStringLiteral("1 > 0  ok "));
    }

    void emptinessAndDigits()
    {
        QVERIFY(stringIsEmpty(QString()));
        QVERIFY(stringIsEmpty(QStringLiteral("")));
        QVERIFY(stringIsEmpty(QStringLiteral("  \n \t\n")));
        QVERIFY(!stringIsEmpty(QStringLiteral(" x ")));
        QVERIFY(isNumeric(QStringLiteral("0123")));
        QVERIFY(isNumeric(QString()));
        QVERIFY(!isNumeric(QStringLiteral("12a")));
        QVERIFY(!isNumeric(QStringLiteral("-1")));
    }

    void resourceNames_data()
    {
        QTest::addColumn<QString>("self");
        QTest::addColumn<QString>("other");
        QTest::addColumn<int>("expected");
        QTest::newRow("numbered copy") << QStringLiteral("Vault") << QStringLiteral("my vault 2") << -1;
        QTest::newRow("missing word") << QStringLiteral("Secret Files") << QStringLiteral("secret docs") << -1;
        QTest::newRow("all words") << QStringLiteral("Secret Files") << QStringLiteral("files secret") << 0;
        QTest::newRow("broken pattern") << QStringLiteral("a(") << QStringLiteral("a( 3") << 0;
    }

    void resourceNames()
    {
        QFETCH(QString, self);
        QFETCH(QString, other);
        QFETCH(int, expected);
        QCOMPARE(compareApplicationResourceNameByWordsWithSeparator(self, other, QStringLiteral(" ")), expected);
    }

    void numericCode()
    {
        QStringList lines;
        platform::setLogSink([&lines](const QString &line) { lines << line; });
        QCOMPARE(stringByEncodingWithNumericCode(QStringLiteral("a.b")), std::optional(QStringLiteral("570658")));
        QCOMPARE(stringByDecodingWithNumericCode(QStringLiteral("570658")), QStringLiteral("a.b"));
        QCOMPARE(stringByEncodingWithNumericCode(QStringLiteral("Zz-_9")), std::optional(QStringLiteral("5082055517")));
        QVERIFY(lines.isEmpty());
        QCOMPARE(stringByEncodingWithNumericCode(QStringLiteral("a b")), std::nullopt);
        QCOMPARE(stringByEncodingWithNumericCode(QString()), std::nullopt);
        platform::setLogSink({});
        QCOMPARE(lines, QStringList(2, QStringLiteral("Incompatible characters in user name.")));
    }

    void hashesAndBase64()
    {
        QCOMPARE(md5Hash(QString()), QStringLiteral("d41d8cd98f00b204e9800998ecf8427e"));
        QCOMPARE(VLMD5HexOfString(QStringLiteral("abc")), QStringLiteral("900150983cd24fb0d6963f7d28e17f72"));
        // UTF-8 bytes are hashed, not Latin-1.
        QCOMPARE(md5Hash(QStringLiteral("\u00e9")), QStringLiteral("66ddcd97cfdeabb2f6fb8a999b4bc76f"));
        QCOMPARE(VLBase64EncodedString(QStringLiteral("Man|\u00e9")), QStringLiteral("TWFufOk="));
        QCOMPARE(VLBase64EncodedString(QStringLiteral("\u2013")), QString());
        QCOMPARE(base64enc(QByteArrayLiteral("\x00\xff")), QStringLiteral("AP8="));
        QCOMPARE(base64dec(QStringLiteral("AP8=")), std::optional(QByteArrayLiteral("\x00\xff")));
        QCOMPARE(base64dec(QStringLiteral("A*P8")), std::nullopt);
        QCOMPARE(base64helperTransform(QByteArrayLiteral("x"), {}), std::nullopt);
    }

    void ranges_data()
    {
        QTest::addColumn<qsizetype>("location");
        QTest::addColumn<qsizetype>("length");
        QTest::addColumn<QString>("expected");
        QTest::newRow("inside") << qsizetype(1) << qsizetype(3) << QStringLiteral("aul");
        QTest::newRow("to the end") << qsizetype(0) << qsizetype(5) << QStringLiteral("vault");
        QTest::newRow("past the end") << qsizetype(3) << qsizetype(3) << QString();
        QTest::newRow("start past the end") << qsizetype(9) << qsizetype(0) << QString();
        QTest::newRow("huge length") << qsizetype(1) << std::numeric_limits<qsizetype>::max() << QString();
    }

    void ranges()
    {
        QFETCH(qsizetype, location);
        QFETCH(qsizetype, length);
        QFETCH(QString, expected);
        QCOMPARE(substringWithRangeProtected(QStringLiteral("vault"), location, length), expected);
    }

    void regexAndPaths()
    {
        QVERIFY(isMatchedByRegex(QStringLiteral("file 12.vault"), QStringLiteral("[0-9]+")));
        QVERIFY(!isMatchedByRegex(QStringLiteral("file"), QStringLiteral("[0-9]+")));
        QVERIFY(!isMatchedByRegex(QStringLiteral("file"), QStringLiteral("(")));

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString folder = dir.filePath(QStringLiteral("Photos.album"));
        QVERIFY(QDir().mkdir(folder));
        QCOMPARE(stringByDeletingRealPathExtension(folder), folder);
        QCOMPARE(stringByDeletingRealPathExtension(dir.filePath(QStringLiteral("a.tar.vault"))),
                 dir.filePath(QStringLiteral("a.tar")));
        QCOMPARE(stringByDeletingRealPathExtension(QStringLiteral("/x/.hidden")), QStringLiteral("/x/.hidden"));

        const auto volume = volumePath(dir.path());
        QVERIFY(volume.has_value());
        QVERIFY(dir.path().startsWith(*volume));
        QCOMPARE(volumePath(QString()), std::nullopt);
    }

    void pasteboardItem()
    {
        const auto item = VLPasteboardItem::dragItemWithSourceURL(
            QUrl::fromLocalFile(QStringLiteral("/tmp/Report.pdf")));
        QCOMPARE(item->writableTypesForPasteboard(),
                 QStringList({QStringLiteral("com.apple.pasteboard.promised-file-url"),
                              QStringLiteral("com.apple.pasteboard.promised-file-content-type")}));
        for (const QString &type : item->writableTypesForPasteboard())
            QCOMPARE(item->writingOptionsForType(type), 512);
        QCOMPARE(item->pasteboardPropertyListForType(VLPasteboardItem::promisedFileContentType).toString(),
                 QStringLiteral("com.adobe.pdf"));
        QCOMPARE(item->pasteboardPropertyListForType(VLPasteboardItem::promisedFileURLType).toString(),
                 QStringLiteral("/tmp/Report.pdf"));

        const auto mime = item->mimeData();
        QCOMPARE(mime->formats(), item->writableTypesForPasteboard());
        QCOMPARE(mime->data(VLPasteboardItem::promisedFileURLType), QByteArrayLiteral("/tmp/Report.pdf"));
        QVERIFY(mime->data(QStringLiteral("text/plain")).isEmpty());
        QCOMPARE(VLPasteboardItem(QUrl::fromLocalFile(QStringLiteral("/tmp/x.unknownext")))
                     .pasteboardPropertyListForType(VLPasteboardItem::promisedFileContentType)
                     .toString(),
                 QStringLiteral("unknownext"));
        QCOMPARE(VLPasteboardItem(QUrl::fromLocalFile(QStringLiteral("/tmp/Notes.TXT")))
                     .pasteboardPropertyListForType(VLPasteboardItem::promisedFileContentType)
                     .toString(),
                 QStringLiteral("public.plain-text"));
    }
};

QTEST_GUILESS_MAIN(TestNSStringAdditions)
#include "tst_nsstringadditions.moc"
