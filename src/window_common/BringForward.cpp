#include "window_common/BringForward.h"

#include <QWidget>

namespace kestrel {

void bringForward(QWidget &window)
{
    window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
    window.show();
    window.raise();
    window.activateWindow();
}

} // namespace kestrel
