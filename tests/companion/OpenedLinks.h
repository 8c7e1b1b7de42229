#pragma once

#include <QDesktopServices>
#include <QList>
#include <QObject>
#include <QUrl>

// Records the links the application hands to the desktop, instead of starting a browser, for as
// long as it lives.
class OpenedLinks final : public QObject
{
    Q_OBJECT

public:
    OpenedLinks()
    {
        for (const QString &scheme : schemes())
            QDesktopServices::setUrlHandler(scheme, this, "openUrl");
    }

    ~OpenedLinks() override
    {
        for (const QString &scheme : schemes())
            QDesktopServices::unsetUrlHandler(scheme);
    }

    QList<QUrl> urls;

public slots:
    void openUrl(const QUrl &url) { urls << url; }

private:
    static QStringList schemes() { return {QStringLiteral("http"), QStringLiteral("https")}; }
};
