#pragma once

#include <QString>

namespace kestrel {

/// The fourteen settings of KESTREL.INI, in the order in which a save appends
/// missing keys. The enumerator names are the keys as written in the file.
enum class SettingKey {
    VOICECB,
    FORMATCB,
    AUDIOOUTPUTCB,
    CHKCONFIRM,
    RATESLDR,
    VOLUMESLDR,
    CHKCLIPBOARD,
    EXECUTING,
    SAYTEXT,
    SAYAGAIN,
    DIDYOUSAY,
    CLEARIT,
    EXECANOUNCE,
    NOTFOUND,
};

/// How the settings file reaches the controls that hold the settings. The windows
/// implement it; tests implement it with plain values.
class SettingsBinding
{
public:
    virtual ~SettingsBinding() = default;

    /// Gives a numeric control (list index, check box state, slider position) its
    /// loaded value, exactly as a user's choice would (a list applies the entry).
    /// Returns false when the control refuses the value (no such list entry, a
    /// check box state other than 0 to 2, a slider value outside its range); the
    /// control then keeps its state.
    virtual bool assignNumber(SettingKey key, qint32 value) = 0;
    /// Gives a text control its loaded text.
    virtual bool assignText(SettingKey key, const QString &value) = 0;

    /// Current values, for saving.
    virtual qint32 number(SettingKey key) const = 0;
    virtual QString text(SettingKey key) const = 0;
};

} // namespace kestrel
