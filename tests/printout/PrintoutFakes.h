#pragma once

#include "support/QtPrinters.h"

#include "command_table/CommandRow.h"
#include "common/Failure.h"
#include "main_window/printout/ListeningControl.h"
#include "main_window/printout/PrintDialogStep.h"

#include <optional>

namespace kestrel::test {

/// Fixed rows; counts refreshes and fails on the n-th one when told to.
struct FakeCommandSource : CommandSource
{
    explicit FakeCommandSource(QList<CommandRow> r = {}) : rows(std::move(r)) {}
    QList<CommandRow> refresh() override
    {
        if (++refreshes == failOnRefresh)
            throw Failure(QStringLiteral("database unreadable"));
        return rows;
    }
    QList<CommandRow> rows;
    int refreshes = 0, failOnRefresh = 0;
};

struct FakeListening : ListeningControl
{
    explicit FakeListening(bool on) : listening(on) {}
    bool isListening() const override { return listening; }
    void holdListening() override
    {
        calls << "hold";
        listeningBeforeHold = listening;
        listening = false;
    }
    void releaseListening(bool resume) override
    {
        calls << (resume ? "release" : "release, stay off");
        listening = resume && listeningBeforeHold;
    }
    bool listening;
    bool listeningBeforeHold = false;
    QStringList calls;
};

/// Answers the print dialog in advance; logs "dialog" to `events`, noting when
/// listening was still on meanwhile.
struct FakePrintDialog : PrintDialogStep
{
    FakePrintDialog(std::optional<int> a, const ListeningControl *l = nullptr, QStringList *e = nullptr)
        : answer(a), listening(l), events(e)
    {
    }
    std::optional<int> askCopies() override
    {
        if (events)
            *events << (listening && listening->isListening() ? "dialog while listening" : "dialog");
        return answer;
    }
    std::optional<int> answer;
    const ListeningControl *listening;
    QStringList *events;
};

} // namespace kestrel::test
