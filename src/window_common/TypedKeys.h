#pragma once

#include <QObject>

namespace kestrel {

/// Keys a command types reach whichever window is in front, and that may be one
/// of the program's own. Raised for as long as a command types, the shield keeps
/// such keys from acting on the program: no control with the focus takes them (a
/// blank would press Stop Recognition, letters pick another voice from a list),
/// and no window shortcut fires (a typed Ctrl+Return would press Emulate, which
/// runs the same command again, and again). Text boxes and the table still take
/// them as text. Counted, so that typing inside typing lowers it only at the end;
/// between commands it is not installed at all.
class TypedKeysShield final : public QObject
{
public:
    using QObject::QObject;
    ~TypedKeysShield() override;

    void raise();
    void lower();
    bool isRaised() const { return m_depth > 0; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    int m_depth = 0;
};

} // namespace kestrel
