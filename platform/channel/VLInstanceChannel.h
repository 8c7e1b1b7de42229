#pragma once

#include <QObject>
#include <QStringList>

class QLocalServer;
class QLocalSocket;

// Keeps the application to one running instance per user. The first instance listens on a
// local socket in the user's runtime folder; a later launch hands its paths to it and exits.
// A message carries its kind, so open-documents and Services hand-overs stay apart.
class VLInstanceChannel final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VLInstanceChannel)

public:
    enum class Kind : quint8 {
        OpenFiles = 1,    // files opened from the file manager, the command line or the share helper
        ServiceFiles = 2, // files from the "Encrypt with Vaultine" action
    };
    Q_ENUM(Kind)

    explicit VLInstanceChannel(QObject *parent = nullptr);
    ~VLInstanceChannel() override;

    // The socket path: "com.nimbrel.Vaultine.instance" in the user's runtime folder
    // ($XDG_RUNTIME_DIR, else a private "runtime-<user>" folder in the temporary folder). Empty
    // when no folder of this user alone is to be had: the channel is then not used.
    static QString serverPath();

    // Hands the message to a running instance, with the activation token this launch was given
    // (so that the running instance may bring its window forward). False when none takes the
    // connection within connectTimeoutMs, or none confirms the message within answerTimeoutMs.
    // An instance that took the connection is there but may be busy building its windows, so
    // its answer is waited for much longer: giving up early would start a second instance.
    static bool sendToRunningInstance(Kind kind, const QStringList &paths, int connectTimeoutMs = 3000,
                                      int answerTimeoutMs = 30000);

    // Starts listening (removing a stale socket that nobody answers on). False when another
    // instance listens already or the socket cannot be made.
    bool listen();
    bool isListening() const;

signals:
    // activationToken is empty when the other launch had none.
    void messageReceived(VLInstanceChannel::Kind kind, const QStringList &paths, const QString &activationToken);

private:
    void readFrom(QLocalSocket *socket);

    QLocalServer *m_server = nullptr;
};
