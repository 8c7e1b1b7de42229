#pragma once

#include "platform/core/VLError.h"
#include "platform/core/VLWeakDelegate.h"

#include <QIcon>
#include <QList>
#include <QObject>
#include <QString>
#include <QVariantList>

#include <functional>

class QWidget;
class VLSharingService;

// Told of a share through a sharing service. Items are the shared objects: texts (QString) and
// files (QUrl).
class VLSharingServiceDelegate
{
public:
    virtual ~VLSharingServiceDelegate() = default;

    // The window a service shows its panels on.
    virtual QWidget *sharingServiceSourceWindowForShareItems(VLSharingService *service, const QVariantList &items)
    {
        Q_UNUSED(service)
        Q_UNUSED(items)
        return nullptr;
    }
    virtual void sharingServiceWillShareItems(VLSharingService *service, const QVariantList &items)
    {
        Q_UNUSED(service)
        Q_UNUSED(items)
    }
    virtual void sharingServiceDidFailToShareItemsError(VLSharingService *service, const QVariantList &items,
                                                        const VLError &error)
    {
        Q_UNUSED(service)
        Q_UNUSED(items)
        Q_UNUSED(error)
    }
};

// One way of sharing items that this desktop offers. The plain service runs a handler; the
// e-mail and save-to-file services are its subclasses.
class VLSharingService : public QObject
{
    Q_OBJECT

public:
    using Handler = std::function<void()>;

    VLSharingService(const QString &title, const QIcon &image, const QIcon &alternateImage, Handler handler,
                     QObject *parent = nullptr);
    ~VLSharingService() override;
    Q_DISABLE_COPY_MOVE(VLSharingService)

    // The services this desktop offers for the items, in the order the menu lists them.
    static QList<VLSharingService *> sharingServicesForItems(const QVariantList &items, QObject *parent);

    QString title() const { return m_title; }
    // The title a menu shows; the title unless a service has a longer one for menus.
    virtual QString menuItemTitle() const { return m_title; }
    QIcon image() const { return m_image; }
    QIcon alternateImage() const { return m_alternateImage; }

    VLSharingServiceDelegate *delegate() const { return m_delegate.get(); }
    void setDelegate(VLSharingServiceDelegate *delegate) { m_delegate.set(delegate); }

    virtual bool canPerformWithItems(const QVariantList &items) const;
    virtual void performWithItems(const QVariantList &items);

protected:
    VLSharingService(const QString &title, const QIcon &image, QObject *parent);

    static QList<QUrl> urlsOfItems(const QVariantList &items);

private:
    QString m_title;
    QIcon m_image;
    QIcon m_alternateImage;
    Handler m_handler;
    VLWeakDelegate<VLSharingServiceDelegate> m_delegate;
};
