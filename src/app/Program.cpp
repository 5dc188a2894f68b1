#include "app/Program.h"

#include "command_table/CommandTableModel.h"
#include "common/Failure.h"
#include "interpreter/Interpreter.h"
#include "main_window/SpeechForm.h"
#include "main_window/printout/SystemTablePrintout.h"
#include "recognition/DebugForm.h"
#include "speech_platform/Recognition.h"
#include "speech_platform/VoiceEngine.h"
#include "tts/TTSSetup.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>

namespace kestrel {

namespace {

QStringList phrasesOf(const CommandTableModel &model)
{
    QStringList phrases;
    for (int row = 0; row < model.storedRowCount(); ++row) {
        const QString phrase = model.commandRow(row).WordPhrase.trimmed();
        if (!phrase.isEmpty())
            phrases.append(phrase);
    }
    return phrases;
}

/// The recogniser listens for the table's phrases and hears about every change.
void feedVocabulary(CommandTableModel &model, CommandPhraseList &vocabulary)
{
    auto update = [&model, &vocabulary] { vocabulary.setPhrases(phrasesOf(model)); };
    update();
    QObject::connect(&model, &QAbstractItemModel::modelReset, &vocabulary, update);
    QObject::connect(&model, &QAbstractItemModel::dataChanged, &vocabulary, update);
    QObject::connect(&model, &QAbstractItemModel::rowsInserted, &vocabulary, update);
    QObject::connect(&model, &QAbstractItemModel::rowsRemoved, &vocabulary, update);
}

/// A session manager ends a logout by sending the application a Quit event.
/// Qt answers it by closing the windows one by one and gives up at the first
/// that refuses; the voice and setup windows refuse every close but the
/// program's own, so the program would go on, the day's settings unsaved, until
/// the session took the display away. The request ends the program as QUIT does.
class SessionQuitFilter final : public QObject
{
public:
    explicit SessionQuitFilter(std::function<void()> quit) : m_quit(std::move(quit)) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != QCoreApplication::instance() || event->type() != QEvent::Quit)
            return false;
        m_quit();
        return true;
    }

private:
    std::function<void()> m_quit;
};

} // namespace

Program::Program(Parts parts) : m_parts(std::move(parts))
{
    m_model = std::make_unique<CommandTableModel>(m_parts.store, m_parts.boxes);
    feedVocabulary(*m_model, m_vocabulary);
    // A slot belongs to a row number: deleting a row moves the rows below it up,
    // and their remembered windows must move with them.
    QObject::connect(m_model.get(), &QAbstractItemModel::rowsRemoved, m_model.get(),
                     [this](const QModelIndex &, int first, int last) {
                         m_slots.removeRows(first + 1, last - first + 1);
                     });
    m_recognition = m_parts.makeRecognition(m_vocabulary);

    m_form = std::make_unique<SpeechForm>(SpeechForm::Services{*m_model, m_parts.desktop, m_parts.boxes,
                                                               m_slots, m_recognitionLink, m_ttsLink});
    m_mainLink.setTarget(m_form.get());
    m_form->setHelpFolder(
        QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(QStringLiteral("help")));

    m_debugForm = std::make_unique<DebugForm>(*m_recognition, m_mainLink, m_ttsLink, m_parts.boxes,
                                              m_parts.desktop, m_shared);
    m_recognitionLink.setTarget(m_debugForm.get());

    m_interpreter = std::make_unique<Interpreter>(*m_model, m_parts.desktop, m_parts.wait, m_feedback,
                                                  m_ttsLink, *m_form, m_parts.boxes, m_shared, m_slots);
    QObject::connect(m_interpreter.get(), &Interpreter::currentRowChanged, m_form.get(),
                     [this](int row) { m_form->showCurrentRow(row); });
    m_form->setDispatcher([this] { m_interpreter->RecoIt(); });

    m_printout = std::make_unique<SystemTablePrintout>(*m_model, *m_form, m_parts.boxes, m_form.get());
    m_form->setPrinter([this] { m_printout->print(); });

    if (QCoreApplication *application = QCoreApplication::instance()) {
        m_sessionQuit = std::make_unique<SessionQuitFilter>([this] { m_form->quitProgram(); });
        application->installEventFilter(m_sessionQuit.get());
    }
}

Program::~Program() = default;

void Program::start()
{
    m_form->startUp([this] {
        // The program works without a voice; the window tells the user why
        // nothing is heard.
        std::unique_ptr<VoiceEngine> voice;
        QString voiceFailure;
        try {
            voice = m_parts.makeVoice();
        } catch (const Failure &failure) {
            voiceFailure = failure.description();
        } catch (const std::exception &error) {
            voiceFailure = QString::fromLocal8Bit(error.what());
        }
        m_tts =
            std::make_unique<TTSSetup>(TtsServices{std::move(voice), m_parts.desktop, m_parts.boxes, m_shared,
                                                   m_mainLink, m_recognitionLink, voiceFailure});
        m_ttsLink.setTarget(m_tts.get());
    });
}

} // namespace kestrel
