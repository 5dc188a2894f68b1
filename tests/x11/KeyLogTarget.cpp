// A window that reports what it receives, so that tests and benchmarks see what the
// desktop backend really delivered. Usage: kestrel_keylog_target TITLE. On stdout:
// "READY <window id>" once shown; "KEY <name> <modifiers: C A S M(keypad) or -> <X
// keysym, hex>" per key press; "LEN <n>" after a change of the text box; "CLICK|RELEASE
// <L|R> <x> <y>" at global positions; "TEXT <hex UTF-8>" on request. Commands on stdin,
// a line each: "text", "clear", "quit", "copy <hex UTF-8>" (own the clipboard with that
// text, print COPIED), "copybusy <ms> <hex UTF-8>" (the same, then block the event loop
// that long), "busy <ms>" (print BUSY, then block the event
// loop that long). End of input is ignored.
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <QWindow>

#include <cstdio>
#include <unistd.h>

namespace {

void emitLine(const QByteArray &line)
{
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

QByteArray modifierLetters(Qt::KeyboardModifiers m)
{
    const QByteArray letters = QByteArray(m & Qt::ControlModifier ? "C" : "") +
                               (m & Qt::AltModifier ? "A" : "") + (m & Qt::ShiftModifier ? "S" : "") +
                               (m & Qt::KeypadModifier ? "M" : "");
    return letters.isEmpty() ? QByteArray("-") : letters;
}

struct Recorder : QObject
{
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            auto *key = static_cast<QKeyEvent *>(event);
            QString name = QKeySequence(key->key()).toString(QKeySequence::PortableText);
            if (name.isEmpty() || name.contains(QLatin1Char(' ')))
                name = QStringLiteral("0x%1").arg(key->key(), 0, 16);
            emitLine("KEY " + name.toUtf8() + ' ' + modifierLetters(key->modifiers()) + ' ' +
                     QByteArray::number(key->nativeVirtualKey(), 16));
        } else if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease) {
            auto *mouse = static_cast<QMouseEvent *>(event);
            const QPoint global = mouse->globalPosition().toPoint();
            // Left and right are the only buttons the desktop has.
            emitLine((event->type() == QEvent::MouseButtonPress ? "CLICK " : "RELEASE ") +
                     QByteArray(mouse->button() == Qt::LeftButton ? "L " : "R ") +
                     QByteArray::number(global.x()) + ' ' + QByteArray::number(global.y()));
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

// Qt stamps a claim of the clipboard with the time of the last event this
// program received, and the X server ignores a claim older than the current
// owner's: after a test had set the clipboard itself, a copy here now and then
// did not take. A property change on our own window brings an event stamped
// with the server's time now.
void takeFreshTime(QWidget &window)
{
    QWindow *handle = window.windowHandle();
    if (!handle)
        return;
    const qreal opacity = handle->opacity();
    handle->setOpacity(opacity > 0.5 ? opacity - 0.01 : opacity + 0.01);
    handle->setOpacity(opacity);
    QElapsedTimer spent;
    spent.start();
    while (spent.elapsed() < 50)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(argc > 1 ? QString::fromUtf8(argv[1]) : QStringLiteral("keylog target"));
    auto *layout = new QVBoxLayout(&window);
    auto *edit = new QPlainTextEdit(&window);
    // A context menu would grab the keyboard and swallow the keys of later checks.
    edit->setContextMenuPolicy(Qt::NoContextMenu);
    layout->addWidget(edit);
    window.resize(420, 300);

    Recorder recorder;
    edit->installEventFilter(&recorder);
    edit->viewport()->installEventFilter(&recorder);
    QObject::connect(edit, &QPlainTextEdit::textChanged, [edit] {
        emitLine("LEN " + QByteArray::number(edit->document()->characterCount() - 1));
    });

    QByteArray pending;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[256];
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0) {
            // Started without a pipe (as a program start under test): keep running.
            input.setEnabled(false);
            return;
        }
        pending.append(buffer, static_cast<int>(got));
        for (int newline = pending.indexOf('\n'); newline >= 0; newline = pending.indexOf('\n')) {
            const QByteArray command = pending.left(newline).trimmed();
            pending.remove(0, newline + 1);
            if (command == "text")
                emitLine("TEXT " + edit->toPlainText().toUtf8().toHex());
            else if (command == "clear")
                edit->clear();
            else if (command == "quit")
                app.quit();
            else if (command.startsWith("copy ")) {
                takeFreshTime(window);
                QGuiApplication::clipboard()->setText(QString::fromUtf8(QByteArray::fromHex(command.mid(5))));
                emitLine("COPIED");
            } else if (command.startsWith("copybusy ")) {
                // Copies, then is too busy to hand the text over for a while.
                const QList<QByteArray> parts = command.split(' ');
                takeFreshTime(window);
                QGuiApplication::clipboard()->setText(QString::fromUtf8(QByteArray::fromHex(parts.value(2))));
                QCoreApplication::processEvents(); // the server learns of the new owner now
                emitLine("COPIED");
                QThread::msleep(parts.value(1).toULong());
            } else if (command.startsWith("busy ")) {
                // Stands for an application that is slow to get to its events.
                emitLine("BUSY");
                QThread::msleep(command.mid(5).toULong());
            }
        }
    });

    window.show();
    edit->setFocus();
    QTimer::singleShot(0, [&window] { emitLine("READY " + QByteArray::number(window.winId())); });
    return app.exec();
}
