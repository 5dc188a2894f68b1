#include "TtsDoubles.h"

#include <QCheckBox>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kestrel::tts_test {
namespace {

// One step of a clipboard scenario: something happens, then the timer ticks;
// afterwards the speak requests so far and the box's text.
struct Step
{
    const char *action; // "copy", "flag", "edit", "monitor-off", "monitor-on", "end"
    QString value;
    int spokenAfter;
    QString boxAfter;
};

void runScenario(const char *name, const QList<Step> &steps)
{
    TtsRig rig;
    auto *monitor = rig.find<QCheckBox>("ChkClipboard");
    monitor->setCheckState(Qt::Checked);
    for (const Step &step : steps) {
        const QString action = QLatin1String(step.action);
        if (action == QLatin1String("copy"))
            rig.desktop.setClipboard(step.value);
        else if (action == QLatin1String("flag"))
            rig.shared.ClipboardSpeakNow = true;
        else if (action == QLatin1String("edit"))
            rig.setBoxText(step.value);
        else if (action.startsWith(QLatin1String("monitor")))
            monitor->setCheckState(action == QLatin1String("monitor-on") ? Qt::Checked : Qt::Unchecked);
        else if (action == QLatin1String("end"))
            rig.voice->emitWholeStream(rig.boxText());
        rig.window->timer1Tick();
        EXPECT_EQ(rig.voice->speakCalls.size(), step.spokenAfter) << name << ": after " << step.action;
        EXPECT_EQ(rig.boxText(), step.boxAfter) << name << ": after " << step.action;
    }
}

TEST(TTSSetupClipboard, MonitorScenarios)
{
    runScenario("same text twice",
                {{"copy", "Hello", 1, "Hello"}, {"end", "", 1, "Hello"}, {"copy", "Hello", 1, "Hello"}});
    runScenario("asked again",
                {{"copy", "Hello", 1, "Hello"}, {"flag", "", 2, "Hello"}, {"end", "", 2, "Hello"}});
    runScenario("box edited", {{"copy", "Hello", 1, "Hello"}, {"edit", "Changed", 2, "Hello"}});
    runScenario("clipboard emptied", {{"copy", "Hello", 1, "Hello"}, {"copy", "", 1, ""}});
    runScenario("monitor off keeps the request", {{"monitor-off", "", 0, ""},
                                                  {"copy", "Hi", 0, ""},
                                                  {"flag", "", 0, ""},
                                                  {"monitor-on", "", 1, "Hi"},
                                                  {"end", "", 1, "Hi"}});
    runScenario("windows line breaks are one text",
                {{"copy", "one\r\ntwo", 1, "one\ntwo"}, {"end", "", 1, "one\ntwo"}});
}

TEST(TTSSetupFiles, OpenTextFile)
{
    QTemporaryDir samples;
    ASSERT_TRUE(samples.isValid());
    const QString text = QStringLiteral("Gr\u00fc\u00dfe aus K\u00f6ln, \u00e7a va?");
    const QString path = samples.filePath(QStringLiteral("greeting.txt"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QStringEncoder(QStringEncoder::System)(text));
    file.close();

    // What the dialog returns, and the box afterwards.
    const std::pair<QString, QString> cases[] = {
        {QString(), "before"}, {samples.filePath("missing.txt"), "before"}, {path, text}};
    for (const auto &[answer, box] : cases) {
        QList<OpenFileRequest> asked;
        TtsOptions options;
        options.environment.insert(QStringLiteral("KESTREL_SAMPLES_DIR"), samples.path());
        options.openFile = [&asked, answer = answer](QWidget *, const OpenFileRequest &request) {
            asked << request;
            return answer;
        };
        TtsRig rig({}, options);
        rig.setBoxText(QStringLiteral("before"));
        rig.find<QAction>("menuFileOpenText")->trigger();
        EXPECT_EQ(rig.boxText(), box);
        EXPECT_TRUE(rig.voice->speakCalls.isEmpty()); // loading speaks nothing
        ASSERT_EQ(asked.size(), 1);
        EXPECT_EQ(asked[0].title, QStringLiteral("Open a Text File"));
        EXPECT_EQ(asked[0].directory, samples.path());
        EXPECT_EQ(asked[0].filters, QStringLiteral("All Files (*);;Text, XML Files (*.txt *.xml)"));
        EXPECT_EQ(asked[0].selectedFilter, QStringLiteral("Text, XML Files (*.txt *.xml)"));

        // While speaking the menu item is off and the dialog is not asked.
        rig.window->speakIt();
        rig.find<QAction>("menuFileOpenText")->trigger();
        EXPECT_EQ(asked.size(), 1);
    }
}

} // namespace
} // namespace kestrel::tts_test
