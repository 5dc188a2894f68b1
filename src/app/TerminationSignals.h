#pragma once

#include <QObject>

class QSocketNotifier;

namespace kestrel {

/// Turns SIGTERM, SIGHUP and SIGINT (a shutdown, a logout that ends the
/// session's processes, a closed terminal, Ctrl+C) into a signal on the
/// user-interface thread, so that the program can end the orderly way and save
/// what the user changed. Without it the process would die on the spot.
///
/// A signal handler may do almost nothing, so it only writes the signal's number
/// into a pipe; the pipe's reading end is watched by the event loop, nested
/// waits included.
///
/// A signal that was ignored when the object was made (nohup) stays ignored.
///
/// Threading: create and use on the user-interface thread. Signal dispositions
/// are per process, so at most one object may exist at a time; its destructor
/// puts the previous handlers back.
class TerminationSignals final : public QObject
{
    Q_OBJECT
public:
    /// Throws kestrel::Failure when the pipe cannot be made or a handler cannot
    /// be installed.
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

Q_SIGNALS:
    void received(int signalNumber);

private:
    void readPipe();

    QSocketNotifier *m_notifier = nullptr;
};

} // namespace kestrel
