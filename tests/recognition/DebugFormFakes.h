#pragma once

#include "common/Failure.h"
#include "common/MessageBoxes.h"
#include "common/WindowLinks.h"
#include "desktop/Desktop.h"
#include "support/FakeHosts.h"
#include "support/RecordingDesktop.h"

#include <QStringList>

#include <functional>

// Small doubles of the DebugForm's neighbours, local to these tests.
namespace kestrel::debugform_test {

/// The text-to-speech window: records main text, speak requests and loads.
class RecordingTts : public TtsWindowLink
{
public:
    QStringList calls;
    QString mainText;
    std::function<void()> onLoadDat;

    int clipboardMonitorState() const override { return 0; }
    void setMainText(const QString &text) override
    {
        mainText = text;
        calls.append(QStringLiteral("setMainText(%1)").arg(text));
    }
    void speakIt() override { calls.append(QStringLiteral("speakIt")); }
    bool isSpeaking() const override { return false; }
    void speakItX() override { calls.append(QStringLiteral("speakItX")); }
    void loadDat() override
    {
        calls.append(QStringLiteral("loadDat"));
        if (onLoadDat)
            onLoadDat();
    }
    void saveDat() override { calls.append(QStringLiteral("saveDat")); }
    void showWindow() override {}
    void unload() override {}
};

} // namespace kestrel::debugform_test
