#pragma once

#include <QObject>
#include <QStringList>

namespace kestrel {

/// The command phrases a recogniser should listen for, fed by the command table.
/// The recogniser reads phrases() when it builds its command grammar and again
/// after every changed() signal. Lives on the user-interface thread.
class CommandVocabulary : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~CommandVocabulary() override = default;

    virtual QStringList phrases() const = 0;

Q_SIGNALS:
    void changed();
};

/// A vocabulary holding a list that its owner sets, for example from the command
/// table after every refresh. setPhrases() signals only when the list really
/// changes, since each change makes the recogniser rebuild its grammar.
class CommandPhraseList : public CommandVocabulary
{
    Q_OBJECT
public:
    using CommandVocabulary::CommandVocabulary;

    QStringList phrases() const override { return m_phrases; }
    void setPhrases(const QStringList &phrases);

private:
    QStringList m_phrases;
};

} // namespace kestrel
