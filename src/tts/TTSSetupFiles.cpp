// Where text comes from besides typing: the clipboard (monitor, "Play Clipboard",
// "Test") and text files.
#include "tts/TTSSetup.h"

#include "ui_TTSSetup.h"

#include "common/SharedState.h"
#include "desktop/Desktop.h"
#include "tts/TextRules.h"

#include <QFileDialog>
#include <QTimer>

namespace kestrel {

namespace {

QString askWithFileDialog(QWidget *parent, const OpenFileRequest &request)
{
    QString selected = request.selectedFilter;
    return QFileDialog::getOpenFileName(parent, request.title, request.directory, request.filters, &selected);
}

} // namespace

QString TTSSetup::readClipboard(ClipboardRead read)
{
    try {
        return read == ClipboardRead::AskOwner ? m_desktop.currentClipboardText() : m_desktop.clipboardText();
    } catch (const std::exception &) {
        return {}; // a clipboard that cannot be read holds no text
    }
}

void TTSSetup::writeClipboard(const QString &text)
{
    try {
        m_desktop.setClipboardText(text);
    } catch (const std::exception &) {
    }
}

void TTSSetup::timer1Tick()
{
    const int monitor = clipboardMonitorState();
    if (monitor != 1)
        return;
    const QString clipboard = readClipboard();
    if (!clipboardWantsSpeaking(monitor, clipboard, m_ui->MainTxtBox->toPlainText(),
                                m_shared.ClipboardSpeakNow))
        return;
    m_ui->MainTxtBox->setPlainText(readClipboard());
    m_shared.ClipboardSpeakNow = false;
    speakItX();
}

void TTSSetup::testClicked()
{
    const QString sentence = QString::fromLatin1(kTestSentence);
    writeClipboard(sentence);
    m_ui->MainTxtBox->setPlainText(sentence);
    speakItX();
}

void TTSSetup::playClipboard()
{
    // Asked for by the user: the text as it is now, whatever was read before.
    m_ui->MainTxtBox->setPlainText(readClipboard(ClipboardRead::AskOwner));
    speakIt();
}

QString TTSSetup::GetDirectory() const
{
    return kestrel::GetDirectory(m_options.environment);
}

void TTSSetup::openTextFile()
{
    if (!m_ui->menuFileOpenText->isEnabled())
        return;
    const DialogFilter filter = toQtFileFilter(QString::fromLatin1(kOpenTextFileFilter), 2);
    const OpenFileRequest request{QStringLiteral("Open a Text File"), GetDirectory(), filter.filters,
                                  filter.selected};
    const QString path =
        m_options.openFile ? m_options.openFile(this, request) : askWithFileDialog(this, request);
    // The voice may have begun while the dialog showed: the text it reads
    // stays as it is (and "clear after speak" would wipe a text never spoken).
    if (path.isEmpty() || isSpeaking())
        return;
    // Cancel, a missing file or a read failure all leave the box as it was.
    if (const std::optional<QString> text = readTextFile(path))
        m_ui->MainTxtBox->setPlainText(*text);
}

} // namespace kestrel
