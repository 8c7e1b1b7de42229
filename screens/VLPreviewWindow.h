#pragma once

#include <QImage>
#include <QPointer>
#include <QUrl>
#include <QWidget>

class QLabel;

// The quick preview of a result: a small window titled "Preview" with the item's thumbnail (or
// its type icon when it has none), its name and its size. One window is shared by the screens
// that offer it; Space on such a screen toggles it, leaving the screen closes it, and Space or
// Escape in the window itself closes it too.
class VLPreviewWindow final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VLPreviewWindow)

public:
    // The shared window, made on first use; it lives until the application goes.
    static VLPreviewWindow *sharedPreviewWindow();
    // Whether the shared window has been made, without making it.
    static bool sharedPreviewWindowExists();

    // Closes the shared window when it exists and is visible.
    static void closeSharedPreviewWindow();
    // Shows the item in the shared window beside the given window, or closes the shared window
    // when it is already visible.
    static void toggleSharedPreviewWindowForURL(const QUrl &url, QWidget *window);

    explicit VLPreviewWindow(QWidget *parent = nullptr);
    ~VLPreviewWindow() override;

    // The item shown; its picture, name and size are read when it is set.
    QUrl previewItemURL() const { return m_url; }
    void setPreviewItemURL(const QUrl &url);

    // Shows the window next to the given window (on top of it when there is no room) and
    // gives it the focus.
    void makeKeyAndOrderFront(QWidget *window = nullptr);

    QImage previewImage() const { return m_image; }
    QString nameText() const;
    QString sizeText() const;

    // The largest side of the picture, in pixels.
    static constexpr int imageSide = 256;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    QUrl m_url;
    QImage m_image;
    QLabel *m_imageLabel = nullptr;
    QLabel *m_nameLabel = nullptr;
    QLabel *m_sizeLabel = nullptr;
};
