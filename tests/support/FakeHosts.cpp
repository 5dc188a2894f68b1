#include "FakeHosts.h"

namespace kestrel::test {

void FakeFeedbackControls::setConfirmationState(int state)
{
    confirmation = state;
    confirmationWrites.append(state);
}

void FakeSpeechOutput::speakIt()
{
    spoken.append(mainText);
    m_remaining = speakingPolls;
}

bool FakeSpeechOutput::isSpeaking() const
{
    if (m_remaining <= 0)
        return false;
    --m_remaining;
    return true;
}

void RecordingMainWindowLink::startListening()
{
    calls.append(QStringLiteral("startListening"));
    listening = true;
}

void RecordingMainWindowLink::stopListening()
{
    calls.append(QStringLiteral("stopListening"));
    listening = false;
}

void RecordingMainWindowLink::recoIt()
{
    calls.append(QStringLiteral("recoIt"));
    if (onRecoIt)
        onRecoIt();
}

void FakeMainWindowControl::holdListening()
{
    calls.append(QStringLiteral("hold listening"));
    m_listeningBeforeHold = listening;
    listening = false;
}

void FakeMainWindowControl::releaseListening(bool resume)
{
    calls.append(resume ? QStringLiteral("release listening") : QStringLiteral("release listening, stay off"));
    listening = resume && m_listeningBeforeHold;
}

void FakeMainWindowControl::switchListeningOff()
{
    calls.append(QStringLiteral("switch listening off"));
    listening = false;
}

void FakeMainWindowControl::setStatusText(const QString &text)
{
    calls.append(QStringLiteral("status ") + text);
    status = text;
}

void FakeMainWindowControl::quitProgram()
{
    calls.append(QStringLiteral("quit"));
    quitRequested = true;
}

void FakeMessageBoxes::inform(const QString &title, const QString &text, Icon icon)
{
    shown.append({title, text, icon, false});
    if (whileShown)
        whileShown();
}

MessageBoxes::Answer FakeMessageBoxes::ask(const QString &title, const QString &text)
{
    shown.append({title, text, Icon::None, true});
    if (whileShown)
        whileShown();
    if (answers.empty())
        return defaultAnswer;
    const Answer answer = answers.front();
    answers.pop_front();
    return answer;
}

void FakeMessageBoxes::notify(const QString &title, const QString &text, Icon icon)
{
    shown.append({title, text, icon, false, true});
    noticeOpen = true;
}

QStringList FakeMessageBoxes::titledTexts() const
{
    QStringList result;
    for (const Shown &box : shown)
        result.append(box.title + u'|' + box.text);
    return result;
}

QStringList FakeMessageBoxes::texts() const
{
    QStringList result;
    for (const Shown &box : shown)
        result.append(box.text);
    return result;
}

} // namespace kestrel::test
