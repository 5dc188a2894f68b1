#include "TtsDoubles.h"

#include <QAction>
#include <QPlainTextEdit>
#include <QPushButton>

namespace kestrel::tts_test {

QString TtsRig::boxText() const
{
    return find<QPlainTextEdit>("MainTxtBox")->toPlainText();
}

void TtsRig::setBoxText(const QString &text)
{
    find<QPlainTextEdit>("MainTxtBox")->setPlainText(text);
}

void TtsRig::click(const char *button)
{
    QTest::mouseClick(find<QPushButton>(button), Qt::LeftButton);
}

QString TtsRig::state() const
{
    const bool speak = find<QPushButton>("SpeakBtn")->isEnabled();
    const bool stop = find<QPushButton>("StopBtn")->isEnabled();
    const bool open = find<QAction>("menuFileOpenText")->isEnabled();
    if (speak && open && !stop)
        return QStringLiteral("IDLE");
    if (!speak && !open && stop)
        return QStringLiteral("SPEAKING");
    return QStringLiteral("MIXED");
}

} // namespace kestrel::tts_test
