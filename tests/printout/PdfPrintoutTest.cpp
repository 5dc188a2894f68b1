// The printout rendered for real: QPrinter writes a PDF, pdftotext reads the words'
// positions back, and the positions must be the layout's columns on the page.
#include "PrintoutFakes.h"

#include "main_window/printout/PrinterPageSink.h"
#include "main_window/printout/QtPrintDialogStep.h"
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

constexpr double PointsPerMm = 72.0 / 25.4;

struct PdfWord
{
    int page;
    double xMin;
    double yMin;
    double xMax;
    QString text;
};

struct PdfText
{
    int pages = 0;
    QList<PdfWord> words;

    const PdfWord *find(int page, const QString &text, int occurrence = 0) const
    {
        for (const PdfWord &word : words) {
            if (word.page == page && word.text == text && occurrence-- == 0)
                return &word;
        }
        return nullptr;
    }
};

PdfText readPdf(const QString &path)
{
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), path, QStringLiteral("-")});
    if (!pdftotext.waitForFinished(60000) || pdftotext.exitCode() != 0) {
        ADD_FAILURE() << "pdftotext (poppler-utils) failed on " << path.toStdString() << ": "
                      << pdftotext.readAllStandardError().toStdString();
        return {};
    }
    static const QRegularExpression wordPattern(QStringLiteral(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="[\d.]+">([^<]*)</word>)re"));
    PdfText pdf;
    const QStringList lines = QString::fromUtf8(pdftotext.readAllStandardOutput()).split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        if (line.trimmed().startsWith(QLatin1String("<page ")))
            ++pdf.pages;
        const QRegularExpressionMatch m = wordPattern.match(line);
        if (m.hasMatch())
            pdf.words.append({pdf.pages - 1, m.captured(1).toDouble(), m.captured(2).toDouble(),
                              m.captured(3).toDouble(), m.captured(4)});
    }
    return pdf;
}

void makePdfPrinter(QPrinter &printer, const QString &path)
{
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setPageSize(QPageSize(QPageSize::A4));
}

/// Where the printable area begins on the paper, in points. Margins are kept in
/// whole points, so this is taken from the device rectangles.
QPointF printableOffsetPt(const QPrinter &printer)
{
    const QRectF page = printer.pageRect(QPrinter::DevicePixel);
    const QRectF paper = printer.paperRect(QPrinter::DevicePixel);
    return (page.topLeft() - paper.topLeft()) * 72.0 / printer.resolution();
}

const QString LongAction = QString(60, QLatin1Char('x')) + QStringLiteral("TAIL-OF-ACTION"); // 74: two pieces

QList<CommandRow> sampleTable()
{
    return {
        CommandRow{"CALCULATOR", "OPEN", "gnome-calculator", ""},
        CommandRow{"SAVE", "FUNCTION", LongAction, "EDITOR"},
    };
}

TEST(PdfPrintout, WordsLandOnTheirColumnsOnEveryCopy)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("table.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    makePdfPrinter(printer, path);
    PrinterPageSink sink(printer);
    FakeCommandSource table(sampleTable());
    FakeListening listening(true);
    FakePrintDialog dialog(2);

    ASSERT_EQ(TablePrintout(table, listening, dialog, sink).print(), TablePrintout::Outcome::Printed);
    EXPECT_EQ(listening.calls, (QStringList{"stop", "start"}));

    const PdfText pdf = readPdf(path);
    ASSERT_EQ(pdf.pages, 2);
    const QPointF offset = printableOffsetPt(printer);
    const double lineHeightPt = sink.lineHeightMm() * PointsPerMm;
    EXPECT_GT(lineHeightPt, 9.0); // a 10 pt font needs at least its size

    struct Placed
    {
        const char *word;
        double xMm;
        int line; ///< lines below the headings
    };
    const Placed placed[] = {
        {"Word", 10, 0},       {"Function", 37, 0}, {"Action", 55, 0},           {"Parent", 180, 0},
        {"CALCULATOR", 10, 2}, {"OPEN", 37, 2},     {"gnome-calculator", 55, 2}, {"SAVE", 10, 3},
        {"FUNCTION", 37, 3},   {"EDITOR", 180, 3},  {"TAIL-OF-ACTION", 55, 4},
    };
    for (int page = 0; page < 2; ++page) {
        const PdfWord *heading = pdf.find(page, QStringLiteral("Word"));
        ASSERT_NE(heading, nullptr) << "page " << page;
        for (const Placed &p : placed) {
            SCOPED_TRACE(std::string(p.word) + " on page " + std::to_string(page));
            const PdfWord *word = pdf.find(page, QString::fromLatin1(p.word));
            ASSERT_NE(word, nullptr);
            EXPECT_NEAR(word->xMin, offset.x() + p.xMm * PointsPerMm, 0.2 * PointsPerMm);
            EXPECT_NEAR(word->yMin - heading->yMin, p.line * lineHeightPt, 0.2 * PointsPerMm);
            // Courier advances 0.6 em: 6 pt per character at 10 pt.
            EXPECT_NEAR(word->xMax - word->xMin, 6.0 * qstrlen(p.word), 0.1 * qstrlen(p.word));
        }
    }
    // The second copy starts 1 mm lower on its page than the first did.
    EXPECT_NEAR(pdf.find(1, QStringLiteral("Word"))->yMin - pdf.find(0, QStringLiteral("Word"))->yMin,
                1.0 * PointsPerMm, 0.1 * PointsPerMm);
    // The first line's top is the top of the printable area.
    EXPECT_NEAR(pdf.find(0, QStringLiteral("Word"))->yMin, offset.y(), 0.2 * PointsPerMm);
}

/// Passes everything to the real printer but fails on the first new page.
class FailingOnNewPage : public PageSink
{
public:
    explicit FailingOnNewPage(PageSink &inner) : m_inner(inner) {}
    void prepare() override { m_inner.prepare(); }
    void beginDocument() override { m_inner.beginDocument(); }
    double lineHeightMm() const override { return m_inner.lineHeightMm(); }
    double printableHeightMm() const override { return m_inner.printableHeightMm(); }
    void drawText(double x, double y, const QString &text) override { m_inner.drawText(x, y, text); }
    void newPage() override { throw Failure(QStringLiteral("out of paper")); }
    void endDocument() override { m_inner.endDocument(); }
    void abortDocument() noexcept override { m_inner.abortDocument(); }

private:
    PageSink &m_inner;
};

TEST(PdfPrintout, AFailedJobLeavesNoHalfDocumentAndThePrinterFree)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    struct Case
    {
        const char *name;
        QString path;
        bool failMidway;
    };
    const Case cases[] = {
        {"output cannot be opened", dir.filePath(QStringLiteral("missing/dir/table.pdf")), false},
        {"printer fails between copies", dir.filePath(QStringLiteral("table.pdf")), true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QPrinter printer(QPrinter::HighResolution);
        makePdfPrinter(printer, c.path);
        PrinterPageSink sink(printer);
        FailingOnNewPage failing(sink);
        FakeCommandSource table(sampleTable());
        FakeListening listening(true);
        FakePrintDialog dialog(2);
        PageSink &target = c.failMidway ? static_cast<PageSink &>(failing) : sink;

        EXPECT_EQ(TablePrintout(table, listening, dialog, target).print(), TablePrintout::Outcome::Failed);
        EXPECT_EQ(listening.calls, (QStringList{"stop", "start"}));
        EXPECT_FALSE(QFile::exists(c.path));

        // The same printer takes the next job.
        const QString retry = dir.filePath(QStringLiteral("retry.pdf"));
        QFile::remove(retry);
        printer.setOutputFileName(retry);
        FakePrintDialog once(1);
        EXPECT_EQ(TablePrintout(table, listening, once, sink).print(), TablePrintout::Outcome::Printed);
        EXPECT_EQ(readPdf(retry).pages, 1);
    }
}

/// Answers the next modal dialog once it is up, after typing a number of copies
/// into it when one is given; notes the dialog's name and the copies it showed.
struct DialogAnswer
{
    bool accept = false;
    int typeCopies = 0;
    QString seenName;
    int shownCopies = -1;
};

void answerModalDialog(DialogAnswer &answer)
{
    auto *poll = new QTimer;
    poll->setInterval(10);
    auto attempts = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, [poll, attempts, &answer] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog) {
            if (++*attempts > 3000)
                poll->deleteLater(); // the test then fails on the name it never saw
            return;
        }
        answer.seenName = dialog->objectName();
        if (auto *copies = dialog->findChild<QSpinBox *>(QStringLiteral("copies"))) {
            answer.shownCopies = copies->value();
            if (answer.typeCopies > 0)
                copies->setValue(answer.typeCopies);
        }
        answer.accept ? dialog->accept() : dialog->reject();
        poll->deleteLater();
    });
    poll->start();
}

TEST(QtPrintDialogStep, PresetsOneCopyAndLeavesTheCopiesToTheProgram)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    struct Case
    {
        const char *name;
        bool accept;
        int typeCopies;
        std::optional<int> copies;
    };
    const Case cases[] = {
        {"cancelled", false, 0, std::nullopt},
        {"accepted as shown", true, 0, 1},
        {"three copies asked for", true, 3, 3},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QPrinter printer(QPrinter::HighResolution);
        makePdfPrinter(printer, dir.filePath(QStringLiteral("dialog.pdf")));
        printer.setCopyCount(4); // left over from elsewhere: the dialog must show 1
        QtPrintDialogStep step(printer, nullptr);
        DialogAnswer answer{c.accept, c.typeCopies, {}, -1};

        answerModalDialog(answer);
        EXPECT_EQ(step.askCopies(), c.copies);
        EXPECT_EQ(answer.seenName, QStringLiteral("CommonDialog1"));
        EXPECT_EQ(answer.shownCopies, 1);
        // The program makes the copies itself; the printer must not repeat them.
        EXPECT_EQ(printer.copyCount(), 1);
    }
}

} // namespace
} // namespace kestrel::test
