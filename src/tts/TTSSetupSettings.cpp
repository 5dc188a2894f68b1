// The settings file's view of the two setup windows: this window's seven controls
// and the recognition window's seven feedback controls.
#include "tts/TTSSetup.h"

#include "ui_TTSSetup.h"

#include "common/CheckBoxState.h"
#include "common/Failure.h"
#include "common/MessageBoxes.h"

#include <QFileInfo>

namespace kestrel {

namespace {

bool isCheckState(qint32 value)
{
    return value >= 0 && value <= 2;
}

bool assignCheckBox(QCheckBox *box, qint32 value)
{
    if (!isCheckState(value))
        return false;
    box->setCheckState(checkStateOf(value));
    return true;
}

bool assignSlider(QSlider *slider, qint32 value)
{
    if (value < slider->minimum() || value > slider->maximum())
        return false;
    slider->setValue(value);
    return true;
}

} // namespace

void TTSSetup::loadDat()
{
    m_settingsRead = runSettingsStep(m_options.loadSettings);
}

void TTSSetup::saveDat()
{
    if (maySaveSettings())
        runSettingsStep(m_options.saveSettings);
}

bool TTSSetup::maySaveSettings() const
{
    // Never read (the recognition window failed to load, or the file could not
    // be read), the controls hold defaults where the file holds the user's
    // choices. Without a file there is nothing to replace, and this run's
    // choices are all the user has.
    return m_settingsRead || !QFileInfo::exists(m_options.settingsPath);
}

void TTSSetup::saveAtAbruptEnd()
{
    if (m_unloading || !maySaveSettings())
        return;
    // No box: the display may be gone, and nobody would answer it.
    try {
        m_options.saveSettings(m_options.settingsPath, *this);
    } catch (const std::exception &) {
    }
}

bool TTSSetup::runSettingsStep(const SettingsFileStep &step)
{
    // A settings file that exists but cannot be read, or cannot be replaced, is
    // the user's data at stake: say so rather than carry on as if it had worked.
    try {
        step(m_options.settingsPath, *this);
        return true;
    } catch (const Failure &failure) {
        m_boxes.inform(programTitle(), failure.description(), MessageBoxes::Icon::Critical);
    } catch (const std::exception &failure) {
        m_boxes.inform(programTitle(), QString::fromLocal8Bit(failure.what()), MessageBoxes::Icon::Critical);
    }
    return false;
}

bool TTSSetup::assignListIndex(QComboBox *list, qint32 value, void (TTSSetup::*choose)(int))
{
    // -1 is "no entry chosen": a valid state that is saved and read back as such.
    if (value < -1 || value >= list->count())
        return false;
    (this->*choose)(value);
    return true;
}

namespace {

// A position past the end of today's list names an entry that may be back
// tomorrow; a negative one below "none" is no entry at all.
bool assignOrKeep(bool assigned, qint32 value, std::optional<qint32> &absent)
{
    if (!assigned && value >= 0)
        absent = value;
    return assigned;
}

} // namespace

bool TTSSetup::assignNumber(SettingKey key, qint32 value)
{
    switch (key) {
    case SettingKey::VOICECB:
        return assignOrKeep(assignListIndex(m_ui->VoiceCB, value, &TTSSetup::chooseVoice), value,
                            m_absentVoice);
    case SettingKey::FORMATCB:
        return assignListIndex(m_ui->FormatCB, value, &TTSSetup::chooseFormat);
    case SettingKey::AUDIOOUTPUTCB:
        if (!assignOrKeep(assignListIndex(m_ui->AudioOutputCB, value, &TTSSetup::chooseAudioOutput), value,
                          m_absentOutput)) {
            // The output the user chose is the one missing today, not the
            // default put in its place: it is taken up when it comes.
            m_chosenOutputId.clear();
            m_outputsWhenAbsent = m_outputs;
            return false;
        }
        return true;
    case SettingKey::RATESLDR:
        return assignSlider(m_ui->RateSldr, value);
    case SettingKey::VOLUMESLDR:
        return assignSlider(m_ui->VolumeSldr, value);
    case SettingKey::CHKCLIPBOARD:
        return assignCheckBox(m_ui->ChkClipboard, value);
    case SettingKey::CLEARIT:
        return assignCheckBox(m_ui->ClearIt, value);
    case SettingKey::CHKCONFIRM:
        if (isCheckState(value))
            m_recognition.feedback().setConfirmationState(value);
        return isCheckState(value);
    case SettingKey::EXECANOUNCE:
        if (isCheckState(value))
            m_recognition.feedback().setExecutingState(value);
        return isCheckState(value);
    case SettingKey::NOTFOUND:
        if (isCheckState(value))
            m_recognition.feedback().setNotFoundState(value);
        return isCheckState(value);
    case SettingKey::EXECUTING:
    case SettingKey::SAYTEXT:
    case SettingKey::SAYAGAIN:
    case SettingKey::DIDYOUSAY:
        return false;
    }
    return false;
}

namespace {

bool isTextKey(SettingKey key)
{
    return key == SettingKey::EXECUTING || key == SettingKey::SAYTEXT || key == SettingKey::SAYAGAIN ||
           key == SettingKey::DIDYOUSAY;
}

} // namespace

bool TTSSetup::assignText(SettingKey key, const QString &value)
{
    // Only the feedback texts are text; asking for the recognition window's
    // controls loads that window, so other keys do not touch it.
    if (!isTextKey(key))
        return false;
    FeedbackSettings &feedback = m_recognition.feedback();
    switch (key) {
    case SettingKey::EXECUTING:
        feedback.setExecutingText(value);
        return true;
    case SettingKey::SAYTEXT:
        feedback.setSayTextText(value);
        return true;
    case SettingKey::SAYAGAIN:
        feedback.setSayAgainText(value);
        return true;
    case SettingKey::DIDYOUSAY:
        feedback.setDidYouSayText(value);
        return true;
    default:
        return false;
    }
}

qint32 TTSSetup::number(SettingKey key) const
{
    switch (key) {
    case SettingKey::VOICECB:
        return m_absentVoice.value_or(m_ui->VoiceCB->currentIndex());
    case SettingKey::FORMATCB:
        return m_ui->FormatCB->currentIndex();
    case SettingKey::AUDIOOUTPUTCB:
        return m_absentOutput.value_or(m_ui->AudioOutputCB->currentIndex());
    case SettingKey::RATESLDR:
        return m_ui->RateSldr->value();
    case SettingKey::VOLUMESLDR:
        return m_ui->VolumeSldr->value();
    case SettingKey::CHKCLIPBOARD:
        return checkBoxValue(m_ui->ChkClipboard->checkState());
    case SettingKey::CLEARIT:
        return checkBoxValue(m_ui->ClearIt->checkState());
    case SettingKey::CHKCONFIRM:
        return m_recognition.feedback().confirmationState();
    case SettingKey::EXECANOUNCE:
        return m_recognition.feedback().executingState();
    case SettingKey::NOTFOUND:
        return m_recognition.feedback().notFoundState();
    default:
        return 0;
    }
}

QString TTSSetup::text(SettingKey key) const
{
    if (!isTextKey(key))
        return {};
    const FeedbackSettings &feedback = m_recognition.feedback();
    switch (key) {
    case SettingKey::EXECUTING:
        return feedback.executingText();
    case SettingKey::SAYTEXT:
        return feedback.sayTextText();
    case SettingKey::SAYAGAIN:
        return feedback.sayAgainText();
    case SettingKey::DIDYOUSAY:
        return feedback.didYouSayText();
    default:
        return {};
    }
}

} // namespace kestrel
