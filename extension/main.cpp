#include "extension/VLExtensionContext.h"
#include "extension/VLSharingExtensionRequestHandler.h"

#include "platform/core/Library.h"

#include <QCoreApplication>

// The host of the share helper: the desktop entry passes the shared files (and whatever else
// was shared) as arguments, which become the items of one share request.
int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    platform::setApplicationIdentity();

    QStringList arguments = QCoreApplication::arguments().mid(1);
    if (!arguments.isEmpty() && arguments.first() == u"--")
        arguments.removeFirst();
    const std::unique_ptr<VLExtensionContext> context = VLExtensionContext::contextFromArguments(arguments);
    VLSharingExtensionRequestHandler handler;
    handler.beginRequestWithExtensionContext(*context);
    return 0;
}
