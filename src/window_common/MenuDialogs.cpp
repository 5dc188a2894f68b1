#include "window_common/MenuDialogs.h"

#include <QAction>

namespace kestrel {

void openFromMenu(QAction &action, QObject &context, std::function<void()> open)
{
    QObject::connect(&action, &QAction::triggered, &context, [open = std::move(open)] { open(); },
                     Qt::QueuedConnection);
}

} // namespace kestrel
