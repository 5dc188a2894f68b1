#include "desktop/x11/SingleInstance.h"

#include "common/Failure.h"
#include "desktop/Desktop.h"

#include <unistd.h>

namespace kestrel {

SingleInstance::SingleInstance(const QString &name) : m_name(name.isEmpty() ? defaultName() : name)
{
    m_server.setSocketOptions(QLocalServer::AbstractNamespaceOption);
}

QString SingleInstance::defaultName()
{
    return QStringLiteral("kestrel-%1").arg(getuid());
}

bool SingleInstance::acquire()
{
    if (m_server.isListening())
        return true;
    return m_server.listen(m_name);
}

bool bringExistingInstanceForward(Desktop &desktop, const QString &title)
{
    try {
        const WindowId window = desktop.findTopLevelWindow(title);
        if (window == 0)
            return false;
        desktop.activateWindow(window);
        return true;
    } catch (const Failure &) {
        return false;
    }
}

StartClaim claimStart(SingleInstance &guard, Desktop &desktop, const QString &title)
{
    if (guard.acquire())
        return StartClaim::First;
    return bringExistingInstanceForward(desktop, title) ? StartClaim::OtherBroughtForward
                                                        : StartClaim::OtherRunning;
}

} // namespace kestrel
