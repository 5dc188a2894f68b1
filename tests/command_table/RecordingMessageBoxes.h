#pragma once

#include "common/MessageBoxes.h"

#include <QList>
#include <QString>

namespace kestrel::test {

/// Records every message box and answers questions with a scripted answer.
class RecordingMessageBoxes : public MessageBoxes
{
public:
    struct Shown
    {
        QString kind; ///< "inform" or "ask"
        QString title;
        QString text;
        bool operator==(const Shown &) const = default;
    };

    void inform(const QString &title, const QString &text, Icon) override
    {
        m_shown.append({QStringLiteral("inform"), title, text});
    }

    Answer ask(const QString &title, const QString &text) override
    {
        m_shown.append({QStringLiteral("ask"), title, text});
        return m_answer;
    }

    void setAnswer(Answer answer) { m_answer = answer; }
    const QList<Shown> &shown() const { return m_shown; }
    void clear() { m_shown.clear(); }

private:
    Answer m_answer = Answer::No;
    QList<Shown> m_shown;
};

} // namespace kestrel::test
