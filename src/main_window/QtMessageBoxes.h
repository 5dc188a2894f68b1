#pragma once

#include "common/MessageBoxes.h"

#include <QMessageBox>
#include <QPointer>

class QWidget;

namespace kestrel {

/// MessageBoxes on real Qt dialogs. Boxes without an icon are plain, as the
/// program's own messages are; an empty title shows the program's name.
class QtMessageBoxes final : public MessageBoxes
{
public:
    explicit QtMessageBoxes(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }

    void inform(const QString &title, const QString &text, Icon icon) override;
    Answer ask(const QString &title, const QString &text) override;
    void notify(const QString &title, const QString &text, Icon icon) override;
    void withdrawNotice() override;

private:
    QWidget *owner() const;

    QWidget *m_parent; ///< when no window of the program is active
    QPointer<QMessageBox> m_notice;
};

} // namespace kestrel
