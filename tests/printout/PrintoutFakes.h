#pragma once

#include "command_table/CommandRow.h"
#include "common/Failure.h"
#include "main_window/printout/ListeningControl.h"
#include "main_window/printout/PageSink.h"
#include "main_window/printout/PrintDialogStep.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <ostream>

// Readable strings in test failure messages.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace kestrel::test {

/// Hands out fixed rows and counts the refreshes; can fail on a chosen refresh.
class FakeCommandSource : public CommandSource
{
public:
    explicit FakeCommandSource(QList<CommandRow> rows = {}) : m_rows(std::move(rows)) {}

    QList<CommandRow> refresh() override
    {
        ++refreshes;
        if (failOnRefresh == refreshes)
            throw Failure(QStringLiteral("database unreadable"));
        return m_rows;
    }

    int refreshes = 0;
    int failOnRefresh = 0; ///< 1-based; 0 never fails

private:
    QList<CommandRow> m_rows;
};

/// Listening switch that records the calls it receives.
class FakeListening : public ListeningControl
{
public:
    explicit FakeListening(bool on) : listening(on) {}

    bool isListening() const override { return listening; }
    void stopListening() override
    {
        calls << QStringLiteral("stop");
        listening = false;
    }
    void startListening() override
    {
        calls << QStringLiteral("start");
        listening = true;
    }

    bool listening;
    QStringList calls;
};

/// The print dialog, answered in advance; notes whether listening was on while it
/// was shown.
class FakePrintDialog : public PrintDialogStep
{
public:
    FakePrintDialog(std::optional<int> answer, const ListeningControl *listening = nullptr)
        : m_answer(answer), m_listening(listening)
    {
    }

    std::optional<int> askCopies() override
    {
        ++shown;
        listeningWhileShown = m_listening && m_listening->isListening();
        if (events)
            *events << QStringLiteral("dialog");
        return m_answer;
    }

    int shown = 0;
    bool listeningWhileShown = false;
    QStringList *events = nullptr;

private:
    std::optional<int> m_answer;
    const ListeningControl *m_listening;
};

} // namespace kestrel::test
