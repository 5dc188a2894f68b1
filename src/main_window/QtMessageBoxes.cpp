#include "main_window/QtMessageBoxes.h"

#include <QApplication>
#include <QMessageBox>

namespace kestrel {

namespace {
QString titleOrDefault(const QString &title)
{
    return title.isEmpty() ? programTitle() : title;
}

QMessageBox::Icon toQt(MessageBoxes::Icon icon)
{
    switch (icon) {
    case MessageBoxes::Icon::Information:
        return QMessageBox::Information;
    case MessageBoxes::Icon::Critical:
        return QMessageBox::Critical;
    case MessageBoxes::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}
} // namespace

// A box raised while the user works in a setup window belongs to it: closing
// the box gives the keyboard back there, not to the main window behind it.
QWidget *QtMessageBoxes::owner() const
{
    // A notice the user clicked is no window to work in, and a box of its
    // would go when the notice is withdrawn.
    QWidget *active = QApplication::activeWindow();
    return active && active != m_notice ? active : m_parent;
}

void QtMessageBoxes::inform(const QString &title, const QString &text, Icon icon)
{
    QMessageBox box(toQt(icon), titleOrDefault(title), text, QMessageBox::Ok, owner());
    box.exec();
}

MessageBoxes::Answer QtMessageBoxes::ask(const QString &title, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, titleOrDefault(title), text, QMessageBox::Yes | QMessageBox::No,
                    owner());
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

void QtMessageBoxes::notify(const QString &title, const QString &text, Icon icon)
{
    withdrawNotice();
    // Without a parent, so that no window of the program hides it or takes it
    // along when minimised; the user may be in another program altogether.
    auto *box = new QMessageBox(toQt(icon), titleOrDefault(title), text, QMessageBox::Ok);
    box->setObjectName(QStringLiteral("Notice"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setAttribute(Qt::WA_ShowWithoutActivating);
    box->setAttribute(Qt::WA_QuitOnClose, false);
    box->setWindowModality(Qt::NonModal);
    m_notice = box;
    box->show();
}

void QtMessageBoxes::withdrawNotice()
{
    if (m_notice)
        m_notice->close();
}

} // namespace kestrel
