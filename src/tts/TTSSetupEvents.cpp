// The voice's events: speaking state, listening pause, word highlight, the face.
#include "tts/TTSSetup.h"

#include "ui_TTSSetup.h"

#include "common/SharedState.h"
#include "tts/VisemeFace.h"

#include <QPixmap>
#include <QTextCursor>
#include <QTextDocument>

namespace kestrel {

namespace {

// A throwing handler must not unwind through the voice's signal emission.
template <typename Handler> auto guarded(Handler handler)
{
    return [handler](auto &&...args) {
        try {
            handler(std::forward<decltype(args)>(args)...);
        } catch (const std::exception &) {
        }
    };
}

} // namespace

void TTSSetup::connectVoice()
{
    if (!m_voice)
        return;
    connect(m_voice.get(), &VoiceEngine::startStream, this,
            guarded([this](int, qint64) { Voice_StartStream(); }));
    connect(m_voice.get(), &VoiceEngine::endStream, this,
            guarded([this](int stream, qint64) { Voice_EndStream(stream); }));
    connect(m_voice.get(), &VoiceEngine::word, this,
            guarded([this](int, qint64, int position, int length) { Voice_Word(position, length); }));
    connect(m_voice.get(), &VoiceEngine::viseme, this,
            guarded([this](int, qint64, int visemeId) { Voice_Viseme(visemeId); }));
    connect(m_voice.get(), &VoiceEngine::voiceChange, this,
            guarded([this](int, qint64, const SpeechToken &token) { Voice_VoiceChange(token); }));
    connect(m_voice.get(), &VoiceEngine::audioOutputsChanged, this,
            guarded([this] { refreshAudioOutputs(); }));
}

void TTSSetup::Voice_StartStream()
{
    SetSpeakState(true);
    // A stream that follows a replaced one finds listening paused by that one;
    // what counts is whether it was on before the speaking began.
    if (!m_listeningPaused) {
        m_shared.ListeningBeforeSpeech = m_mainWindow.isListening();
        m_listeningPaused = true;
    } else if (m_mainWindow.isListening()) {
        // Switched on by the user while the replaced one spoke.
        m_shared.ListeningBeforeSpeech = true;
    }
    m_mainWindow.stopListening();
}

void TTSSetup::Voice_EndStream(int stream)
{
    showFace(kFaceAloneIndex);
    // A replaced stream ends before the one that replaced it starts: the window
    // is still speaking, and clearing the text or listening now would be early.
    if (m_replacing || stream < m_lastStream)
        return;
    HighlightSpan(0, m_ui->MainTxtBox->document()->characterCount() - 1);
    SetSpeakState(false);
    m_listeningPaused = false;
    // Not reset here: the next stream start records it again.
    if (m_shared.ListeningBeforeSpeech)
        m_mainWindow.startListening();
    m_mainWindow.speechEnded();
}

void TTSSetup::Voice_Word(int position, int length)
{
    HighlightSpan(position, length);
}

void TTSSetup::Voice_Viseme(int visemeId)
{
    showFace(pictureForViseme(visemeId));
}

void TTSSetup::Voice_VoiceChange(const SpeechToken &token)
{
    const int found = m_ui->VoiceCB->findText(token.description, Qt::MatchExactly | Qt::MatchCaseSensitive);
    // Re-selecting the entry already chosen changes nothing; in particular it does
    // not assign the voice again, which could raise another voice change.
    if (found < 0 || found == m_ui->VoiceCB->currentIndex())
        return;
    chooseVoice(found);
}

void TTSSetup::HighlightSpan(int start, int length)
{
    // The document counts a closing paragraph mark that the text does not have.
    const int size = m_ui->MainTxtBox->document()->characterCount() - 1;
    if (start < 0 || length < 0 || start > size)
        return;
    QTextCursor cursor = m_ui->MainTxtBox->textCursor();
    cursor.setPosition(start);
    cursor.setPosition(start + qMin(length, size - start), QTextCursor::KeepAnchor);
    m_ui->MainTxtBox->setTextCursor(cursor);
}

void TTSSetup::showFace(int imageIndex)
{
    const QImage face = m_mouthImages.faceWith(imageIndex);
    if (face.isNull())
        m_ui->VisemePicture->clear();
    else
        m_ui->VisemePicture->setPixmap(QPixmap::fromImage(withMaskTransparent(face)));
}

} // namespace kestrel
