// The printout rendered for real: QPrinter writes a PDF, pdftotext reads the words'
// positions back, and they must sit on the layout's columns.
#include "PrintoutFakes.h"

#include "support/FakeHosts.h"

#include "main_window/printout/PrinterPageSink.h"
#include "main_window/printout/QtPrintDialogStep.h"
#include "main_window/printout/SystemTablePrintout.h"
#include "main_window/printout/TablePrintout.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QPageSize>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace kestrel::test {
namespace {

constexpr double PtPerMm = 72.0 / 25.4;
constexpr double Tolerance = 0.2 * PtPerMm;

struct PdfWord
{
    int page;
    double xMin, yMin, xMax;
    QString text;
};

/// Pages and words of a PDF, positions in points from the paper's top-left.
QList<PdfWord> readPdf(const QString &path, int *pages)
{
    QProcess tool;
    tool.start("pdftotext", {"-bbox", path, "-"});
    if (!tool.waitForFinished(60000) || tool.exitCode() != 0) {
        ADD_FAILURE() << "pdftotext (poppler-utils) failed: " << tool.readAllStandardError().toStdString();
        return {};
    }
    static const QRegularExpression word(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="[\d.]+">([^<]*)</word>)re");
    QList<PdfWord> words;
    *pages = 0;
    for (const QString &line : QString::fromUtf8(tool.readAllStandardOutput()).split('\n')) {
        *pages += line.contains("<page ") ? 1 : 0;
        if (const QRegularExpressionMatch m = word.match(line); m.hasMatch())
            words.append({*pages - 1, m.captured(1).toDouble(), m.captured(2).toDouble(),
                          m.captured(3).toDouble(), m.captured(4)});
    }
    return words;
}

void toPdf(QPrinter &printer, const QString &path)
{
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setPageSize(QPageSize(QPageSize::A4));
}

const QList<CommandRow> Table = {
    {"CALCULATOR", "OPEN", "gnome-calculator", ""},
    {"SAVE", "FUNCTION", QString(60, 'x') + "TAIL-OF-ACTION", "EDITOR"}, // 74: two pieces
};

TEST(PdfPrintout, WordsLandOnTheirColumnsOnEveryCopy)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("table.pdf");
    QPrinter printer(QPrinter::HighResolution);
    toPdf(printer, path);
    // The printable area as the printer was handed over. Margins are kept in whole
    // points, so the offset comes from the device rectangles, not from millimetres.
    const QPointF offset = (printer.pageRect(QPrinter::DevicePixel).topLeft() -
                            printer.paperRect(QPrinter::DevicePixel).topLeft()) *
                           72.0 / printer.resolution();
    PrinterPageSink sink(printer);
    FakeCommandSource table(Table);
    FakeListening listening(true);
    FakePrintDialog dialog(2);
    ASSERT_EQ(TablePrintout(table, listening, dialog, sink).print(), TablePrintout::Outcome::Printed);

    int pages = 0;
    const QList<PdfWord> words = readPdf(path, &pages);
    ASSERT_EQ(pages, 2);
    const double lineHeight = sink.lineHeightMm() * PtPerMm;
    ASSERT_GT(lineHeight, 9.0);

    // Each word, its column in mm and its line.
    const std::tuple<QString, double, int> placed[] = {
        {"Word", 10, 0},       {"Function", 37, 0}, {"Action", 55, 0},           {"Parent", 180, 0},
        {"CALCULATOR", 10, 2}, {"OPEN", 37, 2},     {"gnome-calculator", 55, 2}, {"SAVE", 10, 3},
        {"FUNCTION", 37, 3},   {"EDITOR", 180, 3},  {"TAIL-OF-ACTION", 55, 4},
    };
    for (int page = 0; page < 2; ++page) {
        // Copy 1 starts at the printable area's top, copy 2 1 mm below it.
        const double top = offset.y() + page * PtPerMm;
        for (const auto &[text, xMm, line] : placed) {
            SCOPED_TRACE(text.toStdString() + " on page " + std::to_string(page));
            const auto w = std::find_if(words.begin(), words.end(), [&](const PdfWord &word) {
                return word.page == page && word.text == text;
            });
            ASSERT_NE(w, words.end());
            EXPECT_NEAR(w->xMin, offset.x() + xMm * PtPerMm, Tolerance);
            EXPECT_NEAR(w->yMin, top + line * lineHeight, Tolerance);
            // Courier 10 pt advances 6 pt per character.
            EXPECT_NEAR(w->xMax - w->xMin, 6.0 * text.size(), 0.1 * text.size());
        }
    }
}

/// The real printer, failing on the first new page.
struct FailingOnNewPage : PageSink
{
    explicit FailingOnNewPage(PageSink &p) : inner(p) {}
    void prepare() override { inner.prepare(); }
    void beginDocument() override { inner.beginDocument(); }
    double lineHeightMm() const override { return inner.lineHeightMm(); }
    double printableHeightMm() const override { return inner.printableHeightMm(); }
    void drawText(double x, double y, const QString &t) override { inner.drawText(x, y, t); }
    void newPage() override { throw Failure("out of paper"); }
    void endDocument() override { inner.endDocument(); }
    void abortDocument() noexcept override { inner.abortDocument(); }
    PageSink &inner;
};

TEST(PdfPrintout, AFailedJobLeavesNoHalfDocumentAndThePrinterFree)
{
    QTemporaryDir dir;
    for (bool failMidway : {false, true}) {
        SCOPED_TRACE(failMidway ? "printer fails between copies" : "output cannot be opened");
        const QString path = dir.filePath(failMidway ? "table.pdf" : "missing/table.pdf");
        QPrinter printer(QPrinter::HighResolution);
        toPdf(printer, path);
        PrinterPageSink sink(printer);
        FailingOnNewPage failing(sink);
        FakeCommandSource table(Table);
        FakeListening listening(true);
        FakePrintDialog twoCopies(2), oneCopy(1);

        PageSink &target = failMidway ? static_cast<PageSink &>(failing) : sink;
        EXPECT_EQ(TablePrintout(table, listening, twoCopies, target).print(), TablePrintout::Outcome::Failed);
        EXPECT_EQ(listening.calls, QStringList({"hold", "release"}));
        EXPECT_FALSE(QFile::exists(path));

        // The same printer takes the next job.
        printer.setOutputFileName(dir.filePath("retry.pdf"));
        QFile::remove(printer.outputFileName());
        EXPECT_EQ(TablePrintout(table, listening, oneCopy, sink).print(), TablePrintout::Outcome::Printed);
        int pages = 0;
        readPdf(printer.outputFileName(), &pages);
        EXPECT_EQ(pages, 1);
    }
}

TEST(QtPrintDialogStep, PresetsOneCopyAndLeavesTheCopiesToTheProgram)
{
    const std::tuple<const char *, bool, int, std::optional<int>> cases[] = {
        {"cancelled", false, 0, std::nullopt},
        {"accepted as shown", true, 0, 1},
        {"three copies typed in", true, 3, 3}};
    QTemporaryDir dir;
    for (const auto &[name, accept, typedCopies, copies] : cases) {
        SCOPED_TRACE(name);
        QPrinter printer(QPrinter::HighResolution);
        toPdf(printer, dir.filePath("dialog.pdf"));
        printer.setCopyCount(4); // left from elsewhere: the dialog must still show 1
        QString seenName;
        int shownCopies = -1;
        QTimer poll; // answers the dialog once it is up
        QObject::connect(&poll, &QTimer::timeout, [&, typed = typedCopies, answer = accept] {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            poll.stop();
            seenName = dialog->objectName();
            if (auto *spin = dialog->findChild<QSpinBox *>("copies")) {
                shownCopies = spin->value();
                if (typed)
                    spin->setValue(typed);
            }
            answer ? dialog->accept() : dialog->reject();
        });
        poll.start(10);

        EXPECT_EQ(QtPrintDialogStep(printer, nullptr).askCopies(), copies);
        EXPECT_EQ(seenName, "CommonDialog1");
        EXPECT_EQ(shownCopies, 1);
        // The program makes the copies itself; the printer must not repeat them.
        EXPECT_EQ(printer.copyCount(), 1);
    }
}

TEST(SystemTablePrintout, AFailedPrintoutIsReportedWithItsReasonAndNothingElseIs)
{
    // Whether the dialog is accepted, the table read that fails, the outcome.
    const std::tuple<const char *, bool, int, TablePrintout::Outcome> cases[] = {
        {"cancelled", false, 0, TablePrintout::Outcome::Cancelled},
        {"printed", true, 0, TablePrintout::Outcome::Printed},
        {"table unreadable", true, 1, TablePrintout::Outcome::Failed},
    };
    QTemporaryDir dir;
    for (const auto &[name, accept, tableFailsOn, outcome] : cases) {
        SCOPED_TRACE(name);
        FakeCommandSource table(Table);
        table.failOnRefresh = tableFailsOn;
        FakeListening listening(true);
        FakeMessageBoxes boxes;
        SystemTablePrintout printout(table, listening, boxes, nullptr);
        toPdf(printout.printer(), dir.filePath(QStringLiteral("%1.pdf").arg(name)));
        QTimer poll; // answers the print dialog once it is up
        QObject::connect(&poll, &QTimer::timeout, [&, answer = accept] {
            if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
                poll.stop();
                answer ? dialog->accept() : dialog->reject();
            }
        });
        poll.start(10);

        EXPECT_EQ(printout.print(), outcome);
        EXPECT_EQ(listening.calls, QStringList({"hold", "release"}));
        if (outcome == TablePrintout::Outcome::Failed) {
            ASSERT_EQ(boxes.shown.size(), 1);
            EXPECT_EQ(boxes.shown[0].title, "KESTREL");
            EXPECT_TRUE(boxes.shown[0].text.contains("database unreadable"))
                << boxes.shown[0].text.toStdString();
            EXPECT_EQ(boxes.shown[0].icon, MessageBoxes::Icon::Critical);
        } else {
            EXPECT_TRUE(boxes.shown.isEmpty()) << boxes.texts().join(" | ").toStdString();
        }
    }
}

} // namespace
} // namespace kestrel::test
