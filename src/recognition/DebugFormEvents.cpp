// The recognition context's events: the event list, the result tree and the
// hand-off of recognised phrases to the main window.
#include "recognition/DebugForm.h"

#include "ui_DebugForm.h"

#include "common/Failure.h"
#include "common/MessageBoxes.h"
#include "common/SharedState.h"

#include <QScopeGuard>
#include <QScrollBar>
#include <QTimer>
#include <QtDebug>

namespace kestrel {

bool DebugForm::showStreamInfo() const
{
    return m_ui->ShowStreamInfo->checkState() == Qt::Checked;
}

void DebugForm::appendEventLine(const QString &line)
{
    // Appending keeps each line's cost independent of the list's length; the
    // block limit drops the oldest lines so a long session stays responsive.
    QPlainTextEdit *list = m_ui->EventTextField;
    list->appendPlainText(line);
    // A line the user has selected (to copy it) stays selected while events
    // go on arriving.
    if (list->textCursor().hasSelection())
        return;
    list->moveCursor(QTextCursor::End);
    list->ensureCursorVisible();
    // The caret sits at the end of a possibly long line; show lines from
    // their start rather than scrolled to that caret.
    list->horizontalScrollBar()->setValue(list->horizontalScrollBar()->minimum());
}

void DebugForm::connectContext()
{
    RecoContext *context = m_setup.context();
    if (!context)
        return;
    RecognitionEventLog &log = m_eventLog;
    connect(context, &RecoContext::startStream, this, [&log](qint32 n, qint64 p) { log.startStream(n, p); });
    connect(context, &RecoContext::endStream, this,
            [&log](qint32 n, qint64 p, bool released) { log.endStream(n, p, released); });
    connect(context, &RecoContext::soundStart, this, [this, &log](qint32 n, qint64 p) {
        restartProven(); // the microphone hears
        log.soundStart(n, p);
    });
    connect(context, &RecoContext::soundEnd, this, [&log](qint32 n, qint64 p) { log.soundEnd(n, p); });
    connect(context, &RecoContext::phraseStart, this, [&log](qint32 n, qint64 p) { log.phraseStart(n, p); });
    connect(context, &RecoContext::hypothesis, this,
            [&log](qint32 n, qint64 p, const RecognitionResult &r) { log.hypothesis(n, p, r); });
    connect(context, &RecoContext::recognition, this, &DebugForm::RC_Recognition);
    connect(context, &RecoContext::falseRecognition, this,
            [&log](qint32 n, qint64 p, const RecognitionResult &r) { log.falseRecognition(n, p, r); });
    connect(
        context, &RecoContext::bookmark, this,
        [&log](qint32 n, qint64 p, const QVariant &id, qint32 options) { log.bookmark(n, p, id, options); });
    connect(context, &RecoContext::propertyNumberChange, this,
            [&log](qint32 n, qint64 p, const QString &name, qint32 value) {
                log.propertyNumberChange(n, p, name, value);
            });
    connect(context, &RecoContext::propertyStringChange, this,
            [&log](qint32 n, qint64 p, const QString &name, const QString &value) {
                log.propertyStringChange(n, p, name, value);
            });
    connect(context, &RecoContext::interference, this,
            [&log](qint32 n, qint64 p, qint32 value) { log.interference(n, p, value); });
    connect(context, &RecoContext::requestUI, this,
            [&log](qint32 n, qint64 p, const QString &type) { log.requestUI(n, p, type); });
    connect(context, &RecoContext::recognizerStateChange, this,
            [&log](qint32 n, qint64 p, qint32 state) { log.recognizerStateChange(n, p, state); });
    connect(context, &RecoContext::adaptation, this, [&log](qint32 n, qint64 p) { log.adaptation(n, p); });
    connect(context, &RecoContext::recognitionForOtherContext, this,
            [&log](qint32 n, qint64 p) { log.recognitionForOtherContext(n, p); });
    connect(context, &RecoContext::audioLevel, this,
            [&log](qint32 n, qint64 p, qint32 level) { log.audioLevel(n, p, level); });
    connect(context, &RecoContext::enginePrivate, this,
            [&log](qint32 n, qint64 p, const QVariant &) { log.enginePrivate(n, p); });
    connect(context, &RecoContext::listeningLost, this, &DebugForm::listeningLost);
}

void DebugForm::listeningLost(const QString &description)
{
    // Nothing hears the user any more: both windows must stop saying so, and
    // the user must be told why, or a person who cannot reach the keyboard
    // talks to a deaf program. Nor can that person press Start again once the
    // microphone is back, so recognition comes back on by itself.
    //
    // A microphone back may fail again at once, and the watch then tries again
    // and again: the user hears of the loss once, not at every try.
    //
    // The user is most likely at work in another program, where dictation
    // goes on once the microphone is back: the news must not take the
    // keyboard from there, nor hold up the restart until someone closes it.
    const bool sameLoss = m_restartUnproven;
    m_restartUnproven = false;
    if (m_setup.RecoActive()) {
        ClickIt();
        if (!m_setup.RecoActive())
            watchForReturningInput(sameLoss);
    }
    if (sameLoss)
        return;
    m_messageBoxes.notify(
        QString(),
        QStringLiteral("Recognition has stopped: %1\nCheck that the microphone is connected; recognition "
                       "starts again by itself when it is.")
            .arg(description),
        MessageBoxes::Icon::Critical);
}

void DebugForm::watchForReturningInput(bool sameLoss)
{
    SpeechTokenList inputs;
    try {
        if (RecoContext *context = m_setup.context())
            inputs = context->recognizer().audioInputs();
    } catch (const Failure &) {
        // Then every input listed later counts as new.
    }
    m_inputWatch.start(inputs, sameLoss);
    m_inputWatchTimer->start();
}

void DebugForm::resumeIfInputReturned()
{
    RecoContext *context = m_setup.context();
    // Switched on meanwhile (the Start button, say), or the window let go of
    // its recogniser: nothing left to wait for.
    if (!context || m_setup.RecoActive()) {
        stopInputWatch();
        return;
    }
    // Not in the middle of a sentence: the recogniser would hear the voice itself
    // and carry out what it reads. Listening was off when the sentence began, so
    // its end leaves it off, and the next look after it switches on. Nor inside
    // a launch wait or a printout, where a phrase heard would run inside the wait.
    if (m_tts.isSpeaking() || m_main.listeningHeld())
        return;
    SpeechTokenList arrived;
    try {
        arrived = m_inputWatch.newInputs(context->recognizer().audioInputs());
    } catch (const Failure &) {
        return;
    }
    // Another microphone than the lost one is also a microphone back. When none
    // starts (listed but not ready yet), the next look tries again, without a
    // box each second. The input in use may also have stayed listed while its
    // stream failed; it is tried again now and then.
    const bool retryDue = m_inputWatch.retryDue();
    const auto start = [this] { switchRecognition(); };
    const bool started = arrived.isEmpty() ? retryDue && m_setup.retryOwnInput(start)
                                           : m_setup.startOnArrivedInput(arrived, start);
    if (!started)
        return;
    stopInputWatch();
    m_restartUnproven = true;
    m_restartProofTimer->start();
}

void DebugForm::userSwitchedRecognition()
{
    // A loss after the user's own switch is news again, and the notice of the
    // last one says what no longer holds.
    m_restartUnproven = false;
    m_messageBoxes.withdrawNotice();
}

void DebugForm::restartProven()
{
    // Only listening proves anything: not a command emulated with the
    // microphone gone, nor the proof timer once a later loss stopped it.
    if (!m_setup.RecoActive())
        return;
    // Listening works: a notice that it stopped would only stand in the
    // user's way.
    m_restartUnproven = false;
    m_messageBoxes.withdrawNotice();
}

void DebugForm::stopInputWatch()
{
    m_inputWatch.stop();
    m_inputWatchTimer->stop();
}

void DebugForm::RC_Recognition(qint32 streamNumber, qint64 streamPosition, qint32 recognitionType,
                               const RecognitionResult &result)
{
    restartProven();
    const QString text = phraseText(result);
    m_eventLog.recognition(streamNumber, streamPosition, recognitionType, text);
    try {
        m_treeBuilder.build(*m_treeNodes, result, text, isVisible());
    } catch (const Failure &failure) {
        // The tree is only a viewer; a result it cannot show (an unknown
        // phone, say) must not cost the user the command.
        qWarning().noquote() << "Result tree incomplete:" << failure.description();
    }
    // Like the event list, the tree keeps only the newest results, so a window
    // left open all day stays responsive and its memory bounded.
    m_treeNodes->keepNewestRoots(ResultTreeRecognitionLimit);
    m_shared.RecoText = text;
    const int emulated = result.emulated ? 1 : 0;
    ++m_phrasesRunning;
    m_emulatedPhrasesRunning += emulated;
    const auto ran = qScopeGuard([this, emulated] {
        --m_phrasesRunning;
        m_emulatedPhrasesRunning -= emulated;
    });
    try {
        m_main.recoIt();
    } catch (const Failure &failure) {
        // Nothing may unwind into the engine's signal emission.
        m_messageBoxes.inform(programTitle(), failure.description());
    }
}

void DebugForm::ClearTree_Click()
{
    m_treeNodes->clear();
}

} // namespace kestrel
