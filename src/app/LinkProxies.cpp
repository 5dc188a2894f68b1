#include "app/LinkProxies.h"

#include <QtGlobal>

namespace kestrel {

MainWindowLink &MainWindowLinkProxy::target() const
{
    if (!m_target)
        qFatal("MainWindowLink link used before the main window exists");
    return *m_target;
}

RecognitionWindowLink &RecognitionWindowLinkProxy::target() const
{
    if (!m_target)
        qFatal("RecognitionWindowLink link used before the recognition window exists");
    return *m_target;
}

TtsWindowLink &TtsWindowLinkProxy::target() const
{
    if (!m_target)
        qFatal("TtsWindowLink link used before the text-to-speech window exists");
    return *m_target;
}

} // namespace kestrel
