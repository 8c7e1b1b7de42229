#include "platform/crypto/AesCbcCipher.h"
#include "platform/crypto/CryptoFunctions.h"
#include "platform/crypto/HmacSha256.h"
#include "platform/crypto/SecureBytes.h"

#include <QSet>
#include <QTest>

#include <thread>

#include <sys/wait.h>
#include <unistd.h>

using namespace platform::crypto;

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text));
}

SecureBytes secure(const QByteArray &bytes)
{
    return SecureBytes(bytes);
}

QByteArray runCipher(AesCbcCipher::Direction direction, AesCbcCipher::Padding padding, const QByteArray &key,
                     const QByteArray &iv, const QByteArray &input, const QList<int> &pieces)
{
    CryptoStatus status = CryptoStatus::Unspecified;
    auto cipher = AesCbcCipher::create(
        direction, padding, reinterpret_cast<const std::uint8_t *>(key.constData()), std::size_t(key.size()),
        iv.isEmpty() ? nullptr : reinterpret_cast<const std::uint8_t *>(iv.constData()), &status);
    if (!cipher || status != CryptoStatus::Success)
        return "create failed";
    QByteArray out;
    qsizetype at = 0;
    int piece = 0;
    while (at < input.size()) {
        const qsizetype n = qMin<qsizetype>(pieces.isEmpty() ? input.size() : pieces[piece++ % pieces.size()],
                                            input.size() - at);
        QByteArray buffer(qsizetype(cipher->outputLength(std::size_t(n), false)) + 16, '\0');
        std::size_t produced = 0;
        if (cipher->update(reinterpret_cast<const std::uint8_t *>(input.constData() + at), std::size_t(n),
                           reinterpret_cast<std::uint8_t *>(buffer.data()), std::size_t(buffer.size()), &produced)
            != CryptoStatus::Success)
            return "update failed";
        out += buffer.left(qsizetype(produced));
        at += n;
    }
    QByteArray tail(32, '\0');
    std::size_t produced = 0;
    if (cipher->finish(reinterpret_cast<std::uint8_t *>(tail.data()), std::size_t(tail.size()), &produced)
        != CryptoStatus::Success)
        return "finish failed";
    return out + tail.left(qsizetype(produced));
}

const char *const cbcPlain = "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
                             "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710";
const char *const cbcIv = "000102030405060708090a0b0c0d0e0f";

} // namespace

class TestCrypto : public QObject
{
    Q_OBJECT

private slots:
    void pbkdf2KnownAnswers_data()
    {
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<QByteArray>("salt");
        QTest::addColumn<int>("rounds");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("rfc7914 c=1") << QByteArray("passwd") << QByteArray("salt") << 1
                                     << hex("55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc"
                                            "49ca9cccf179b645991664b39d77ef317c71b845b1e30bd509112041d3a19783");
        QTest::newRow("c=4096") << QByteArray("password") << QByteArray("salt") << 4096
                                << hex("c5e478d59288c841aa530db6845c4c8d962893a001ce4e11a4963873aa98134a");
    }

    void pbkdf2KnownAnswers()
    {
        QFETCH(QByteArray, password);
        QFETCH(QByteArray, salt);
        QFETCH(int, rounds);
        QFETCH(QByteArray, expected);
        SecureBytes key(std::size_t(expected.size()));
        QCOMPARE(pbkdf2HmacSha256(secure(password), salt, unsigned(rounds), key), CryptoStatus::Success);
        QCOMPARE(key.toByteArray(), expected);
    }

    void pbkdf2AcceptsAnEmptyPasswordAndLeavesTheKeyOnFailure()
    {
        SecureBytes key(16);
        QCOMPARE(pbkdf2HmacSha256(SecureBytes(), QByteArray(16, 'x'), 4096, key), CryptoStatus::Success);
        const QByteArray first = key.toByteArray();
        QVERIFY(first != QByteArray(16, '\0'));
        QCOMPARE(pbkdf2HmacSha256(SecureBytes(), QByteArray(16, 'x'), 0, key), CryptoStatus::ParamError);
        QCOMPARE(key.toByteArray(), first);
    }

    void hmacKnownAnswers_data()
    {
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("rfc4231 1") << QByteArray(20, '\x0b') << QByteArray("Hi There")
                                   << hex("b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7");
        QTest::newRow("rfc4231 2") << QByteArray("Jefe") << QByteArray("what do ya want for nothing?")
                                   << hex("5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843");
    }

    void hmacKnownAnswers()
    {
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, expected);
        QCOMPARE(hmacSha256(key, data), expected);

        // Fed in pieces, the running form gives the same value, and can be restarted.
        HmacSha256 mac;
        for (int round = 0; round < 2; ++round) {
            QCOMPARE(mac.init(key.constData(), std::size_t(key.size())), CryptoStatus::Success);
            for (qsizetype at = 0; at < data.size(); at += 3)
                mac.update(data.constData() + at, std::size_t(qMin<qsizetype>(3, data.size() - at)));
            QCOMPARE(mac.finish(), expected);
            QVERIFY(!mac.isRunning());
        }
    }

    void aesCbcKnownAnswers_data()
    {
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("cipherText");
        QTest::newRow("128") << hex("2b7e151628aed2a6abf7158809cf4f3c")
                             << hex("7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2"
                                    "73bed6b8e3c1743b7116e69e222295163ff1caa1681fac09120eca307586e1a7");
        QTest::newRow("192") << hex("8e73b0f7da0e6452c810f32b809079e562f8ead2522c6b7b")
                             << hex("4f021db243bc633d7178183a9fa071e8b4d9ada9ad7dedf4e5e738763f69145a"
                                    "571b242012fb7ae07fa9baac3df102e008b0e27988598881d920a9e64f5615cd");
        QTest::newRow("256") << hex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4")
                             << hex("f58c4c04d6e5f1ba779eabfb5f7bfbd69cfc4e967edb808d679f777bc6702c7d"
                                    "39f23369a9d9bacfa530e26304231461b2eb05e2c39be9fcda6c19078c6a9d1b");
    }

    void aesCbcKnownAnswers()
    {
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, cipherText);
        const QByteArray plain = hex(cbcPlain);
        const QByteArray iv = hex(cbcIv);
        using D = AesCbcCipher::Direction;
        using P = AesCbcCipher::Padding;
        QCOMPARE(runCipher(D::Encrypt, P::None, key, iv, plain, {}), cipherText);
        QCOMPARE(runCipher(D::Encrypt, P::None, key, iv, plain, {5, 17, 1}), cipherText);
        QCOMPARE(runCipher(D::Decrypt, P::None, key, iv, cipherText, {7, 33}), plain);

        // PKCS#7 adds one whole block to aligned input; the first blocks are unchanged.
        const QByteArray padded = runCipher(D::Encrypt, P::Pkcs7, key, iv, plain, {9});
        QCOMPARE(padded.size(), plain.size() + 16);
        QCOMPARE(padded.left(plain.size()), cipherText);
        QCOMPARE(runCipher(D::Decrypt, P::Pkcs7, key, iv, padded, {20}), plain);
        const QByteArray odd = runCipher(D::Encrypt, P::Pkcs7, key, iv, plain.left(37), {});
        QCOMPARE(odd.size(), 48);
        QCOMPARE(runCipher(D::Decrypt, P::Pkcs7, key, iv, odd, {}), plain.left(37));

        // Whole blocks in place.
        QByteArray data = plain;
        QCOMPARE(AesCbcCipher::cryptBlocks(D::Encrypt, secure(key),
                                           reinterpret_cast<const std::uint8_t *>(iv.constData()),
                                           reinterpret_cast<std::uint8_t *>(data.data()), std::size_t(data.size())),
                 CryptoStatus::Success);
        QCOMPARE(data, cipherText);
        QCOMPARE(AesCbcCipher::cryptBlocks(D::Decrypt, secure(key),
                                           reinterpret_cast<const std::uint8_t *>(iv.constData()),
                                           reinterpret_cast<std::uint8_t *>(data.data()), std::size_t(data.size())),
                 CryptoStatus::Success);
        QCOMPARE(data, plain);
    }

    void aesCbcRefusesBadInput()
    {
        CryptoStatus status = CryptoStatus::Success;
        const QByteArray key(20, 'k');
        QVERIFY(!AesCbcCipher::create(AesCbcCipher::Direction::Encrypt, AesCbcCipher::Padding::None,
                                      reinterpret_cast<const std::uint8_t *>(key.constData()), 20, nullptr, &status));
        QCOMPARE(status, CryptoStatus::ParamError);

        QByteArray data(20, 'd');
        QCOMPARE(AesCbcCipher::cryptBlocks(AesCbcCipher::Direction::Encrypt, SecureBytes(16), nullptr,
                                           reinterpret_cast<std::uint8_t *>(data.data()), std::size_t(data.size())),
                 CryptoStatus::AlignmentError);
        // Without padding a stream that ends off a block boundary fails at the end.
        QCOMPARE(runCipher(AesCbcCipher::Direction::Encrypt, AesCbcCipher::Padding::None, QByteArray(16, 'k'), {},
                           QByteArray(20, 'x'), {}),
                 QByteArray("finish failed"));
    }

    void md5KnownAnswers()
    {
        QCOMPARE(md5(QByteArray()), hex("d41d8cd98f00b204e9800998ecf8427e"));
        QCOMPARE(md5("abc"), hex("900150983cd24fb0d6963f7d28e17f72"));
    }

    void randomAndComparison()
    {
        const SecureBytes a = randomSecureBytes(32);
        const SecureBytes b = randomSecureBytes(32);
        QCOMPARE(a.size(), std::size_t(32));
        QVERIFY(!(a == b));
        QVERIFY(a == SecureBytes(a));
        QVERIFY(constantTimeEquals(QByteArray("same"), QByteArray("same")));
        QVERIFY(!constantTimeEquals(QByteArray("same"), QByteArray("sane")));
        QVERIFY(!constantTimeEquals(QByteArray("same"), QByteArray("sam")));
    }

    // Key bytes come from a per-thread pool: no two draws repeat, on one thread or across
    // threads, and a forked child never hands out what its parent will.
    void keyBytesNeverRepeat()
    {
        QSet<QByteArray> seen;
        auto draw = [] {
            QByteArray key(48, Qt::Uninitialized);
            return randomKeyBytes(key.data(), std::size_t(key.size())) ? key : QByteArray();
        };
        for (int i = 0; i < 200; ++i) // several refills of the pool
            seen.insert(draw());
        QByteArray other;
        std::thread([&] { other = draw(); }).join();
        seen.insert(other);
        QCOMPARE(seen.size(), 201);
        QVERIFY(!seen.contains(QByteArray()));

        (void)draw(); // the pool holds bytes the parent has not handed out yet
        int pipe[2];
        QCOMPARE(::pipe(pipe), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            const QByteArray key = draw();
            (void)!::write(pipe[1], key.constData(), std::size_t(key.size()));
            ::_exit(0);
        }
        QVERIFY(child > 0);
        ::close(pipe[1]);
        QByteArray childKey(48, '\0');
        QCOMPARE(::read(pipe[0], childKey.data(), 48), ssize_t(48));
        ::close(pipe[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        QVERIFY(childKey != draw());
    }

    void secureBytesCopyAndWipe()
    {
        SecureBytes a(QByteArray("secret"));
        SecureBytes b = a;
        a.clear();
        QVERIFY(a.isEmpty());
        QCOMPARE(b.toByteArray(), QByteArray("secret"));
        SecureBytes c = std::move(b);
        QVERIFY(b.isEmpty());
        QCOMPARE(SecureBytes::fromUtf8(QStringLiteral("pässword")).toByteArray(), QStringLiteral("pässword").toUtf8());

        QString text = QStringLiteral("wipe me") + QString::number(42);
        wipe(text);
        QVERIFY(text.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCrypto)
#include "tst_crypto.moc"
