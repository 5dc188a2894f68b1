#include "SettingsTestFiles.h"

#include "common/Failure.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsKeys.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <random>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kestrel;
using namespace kestrel::test;

namespace {

class SettingsFileTest : public ::testing::Test
{
protected:
    QString iniPath() const { return m_dir.filePath(QStringLiteral("KESTREL.INI")); }
    QString tempPath() const { return m_dir.filePath(QStringLiteral("ALLTMP")); }

    FakeSettingsBinding load(const QByteArray &content)
    {
        writeBytes(iniPath(), content);
        FakeSettingsBinding binding;
        EXPECT_TRUE(LoadDat(iniPath(), binding));
        return binding;
    }
    QByteArray saveOver(const QByteArray &content, const FakeSettingsBinding &binding = {})
    {
        writeBytes(iniPath(), content);
        SaveDat(iniPath(), binding);
        return readBytes(iniPath());
    }
    /// Saving must fail with a message naming `culprit`.
    void expectSaveFails(const QString &culprit)
    {
        try {
            SaveDat(iniPath(), FakeSettingsBinding());
            ADD_FAILURE() << "the save succeeded";
        } catch (const Failure &failure) {
            EXPECT_TRUE(failure.description().contains(culprit)) << failure.what();
        }
    }

    QTemporaryDir m_dir;
};

TEST_F(SettingsFileTest, EveryKeyRoundTripsByteForByte)
{
    using enum SettingKey;
    FakeSettingsBinding saved;
    saved.numbers = {{VOICECB, 2},     {FORMATCB, -1},   {AUDIOOUTPUTCB, 1}, {CHKCONFIRM, 1},
                     {RATESLDR, -7},   {VOLUMESLDR, 55}, {CHKCLIPBOARD, 2},  {CLEARIT, 1},
                     {EXECANOUNCE, 2}, {NOTFOUND, 1}};
    saved.texts = {{EXECUTING, "Now Doing"},
                   {SAYTEXT, "go ahead, Dictée"},
                   {SAYAGAIN, "Pardon? = again"},
                   {DIDYOUSAY, "  Did you say"}};
    const QByteArray file =
        "VOICECB= 2\r\nFORMATCB=-1\r\nAUDIOOUTPUTCB= 1\r\nCHKCONFIRM= 1\r\nRATESLDR=-7\r\n"
        "VOLUMESLDR= 55\r\nCHKCLIPBOARD= 2\r\nEXECUTING=Now Doing\r\n"
        "SAYTEXT=go ahead, Dict\xc3\xa9"
        "e\r\nSAYAGAIN=Pardon? = again\r\n"
        "DIDYOUSAY=  Did you say\r\nCLEARIT= 1\r\nEXECANOUNCE= 2\r\nNOTFOUND= 1\r\n";

    SaveDat(iniPath(), saved);
    EXPECT_EQ(readBytes(iniPath()), file);
    EXPECT_FALSE(QFileInfo::exists(tempPath()));

    FakeSettingsBinding loaded;
    ASSERT_TRUE(LoadDat(iniPath(), loaded));
    EXPECT_EQ(loaded.numbers, saved.numbers);
    EXPECT_EQ(loaded.texts, saved.texts);
    EXPECT_EQ(loaded.attempts.size(), 14);
    SaveDat(iniPath(), loaded);
    EXPECT_EQ(readBytes(iniPath()), file);
}

TEST_F(SettingsFileTest, LoadConvertsEachKindOfValue)
{
    // The line; the value attempted, none when the conversion drops the line; the
    // control's value afterwards.
    const std::tuple<const char *, SettingKey, const char *, const char *> cases[] = {
        {"VOICECB=3.5", SettingKey::VOICECB, "4", "0"},
        {"VOICECB=40000", SettingKey::VOICECB, nullptr, "0"},
        {"AUDIOOUTPUTCB=abc", SettingKey::AUDIOOUTPUTCB, "0", "0"},
        {"CLEARIT= 1 tick", SettingKey::CLEARIT, "1", "1"},
        {"ExecAnounce=3", SettingKey::EXECANOUNCE, "3", "0"},
        {"CHKCONFIRM=1.9", SettingKey::CHKCONFIRM, "1", "1"},
        {"CHKCLIPBOARD=40000", SettingKey::CHKCLIPBOARD, nullptr, "0"},
        {"RATESLDR=40000", SettingKey::RATESLDR, "40000", "0"},
        {"VOLUMESLDR=3000000000", SettingKey::VOLUMESLDR, nullptr, "100"},
        {"didyousay=Is It", SettingKey::DIDYOUSAY, "Is It", "Is It"},
        {"SAYTEXT= padded ", SettingKey::SAYTEXT, " padded ", " padded "},
    };
    for (const auto &[line, key, attempted, after] : cases) {
        SCOPED_TRACE(line);
        const FakeSettingsBinding binding = load(QByteArray(line) + "\r\n");
        if (attempted) {
            ASSERT_EQ(binding.attempts.size(), 1);
            EXPECT_EQ(binding.attempts.at(0), qMakePair(key, QString::fromUtf8(attempted)));
        } else {
            EXPECT_TRUE(binding.attempts.isEmpty());
        }
        EXPECT_EQ(isTextSetting(key) ? binding.text(key) : QString::number(binding.number(key)),
                  QString::fromUtf8(after));
    }
}

TEST_F(SettingsFileTest, LoadGoesOnPastRefusedValuesAndCutsLongOnes)
{
    const FakeSettingsBinding binding =
        load("VOICECB=7\nCHKCONFIRM=x\rNOTFOUND=1\r\nSAYTEXT=" + QByteArray(300, 'v') + "\nEXECUTING=Go");
    EXPECT_EQ(binding.number(SettingKey::VOICECB), 0);
    EXPECT_EQ(binding.number(SettingKey::NOTFOUND), 1);
    EXPECT_EQ(binding.text(SettingKey::SAYTEXT), QString(255, QLatin1Char('v')));
    EXPECT_EQ(binding.text(SettingKey::EXECUTING), QStringLiteral("Go"));
}

TEST_F(SettingsFileTest, AKeyNameInsideAnotherKeysTextSetsOnlyThatKey)
{
    const QByteArray file = "SAYTEXT=now executing=1 notfound=1\r\n";
    const FakeSettingsBinding binding = load(file);
    ASSERT_EQ(binding.attempts.size(), 1);
    EXPECT_EQ(binding.text(SettingKey::SAYTEXT), QStringLiteral("now executing=1 notfound=1"));

    // On save the line belongs to SAYTEXT alone; EXECUTING keeps its own line.
    const QByteArray saved = saveOver(file + "EXECUTING=Doing\r\n", binding);
    EXPECT_TRUE(saved.startsWith("SAYTEXT=now executing=1 notfound=1\r\nEXECUTING=Executing\r\n"))
        << saved.data();
    EXPECT_EQ(saved.count("EXECUTING="), 1);
    EXPECT_EQ(saved.count("NOTFOUND="), 1);
}

TEST_F(SettingsFileTest, SaveKeepsLinesInPlaceAndAppendsMissingKeysInTableOrder)
{
    FakeSettingsBinding binding;
    binding.numbers[SettingKey::NOTFOUND] = 1;
    const QByteArray old =
        "; my settings\r\nnotfound=2\r\n\r\nVoice=Alice\r\nclearit 1\r\n  Executing = Old\r\n"
        "caf\xe9 au lait\r\n";
    const QByteArray expected =
        "; MY SETTINGS\r\nNOTFOUND= 1\r\n\r\nVOICE=ALICE\r\nCLEARIT 1\r\n"
        "EXECUTING=Executing\r\n"
        "CAF\xe9 AU LAIT\r\n" // not UTF-8: its bytes are kept
        "VOICECB= 0\r\nFORMATCB= 0\r\nAUDIOOUTPUTCB= 0\r\nCHKCONFIRM= 0\r\nRATESLDR= 0\r\n"
        "VOLUMESLDR= 100\r\nCHKCLIPBOARD= 0\r\nSAYTEXT=Say Text\r\n"
        "SAYAGAIN=Please say again\r\nDIDYOUSAY=Did You Say\r\nCLEARIT= 0\r\n"
        "EXECANOUNCE= 0\r\n";
    EXPECT_EQ(saveOver(old, binding), expected);
}

TEST_F(SettingsFileTest, AFileInUnicodeWithAByteOrderMarkIsReadAndSavedWhole)
{
    // A file saved as "Unicode" by a Windows editor: its settings load, and a
    // save keeps every line, in the system encoding, rather than cutting the
    // two-byte characters apart.
    const QString text = QString::fromUtf8("VOICECB= 2\r\nSAYTEXT=Dict\xc3\xa9"
                                           "e \xc3\xa7"
                                           "a\r\n; r\xc3\xa9glages\r\n");
    const std::pair<const char *, QStringConverter::Encoding> encodings[] = {
        {"UTF-8", QStringConverter::Utf8},
        {"UTF-16LE", QStringConverter::Utf16LE},
        {"UTF-16BE", QStringConverter::Utf16BE},
        {"UTF-32LE", QStringConverter::Utf32LE}};
    for (const auto &[name, encoding] : encodings) {
        SCOPED_TRACE(name);
        QStringEncoder encoder(encoding, QStringConverter::Flag::WriteBom);
        const QByteArray file = encoder(text);
        const FakeSettingsBinding loaded = load(file);
        EXPECT_EQ(loaded.number(SettingKey::VOICECB), 2);
        EXPECT_EQ(loaded.text(SettingKey::SAYTEXT), QString::fromUtf8("Dict\xc3\xa9"
                                                                      "e \xc3\xa7"
                                                                      "a"));
        EXPECT_EQ(loaded.attempts.size(), 2);

        const QByteArray saved = saveOver(file, loaded);
        EXPECT_TRUE(saved.startsWith("VOICECB= 2\r\nSAYTEXT=Dict\xc3\xa9"
                                     "e \xc3\xa7"
                                     "a\r\n; R\xc3\x89GLAGES\r\n"))
            << saved.toHex(' ').constData();
        EXPECT_EQ(saved.count("\r\n"), 15);
        const FakeSettingsBinding reloaded = load(saved);
        EXPECT_EQ(reloaded.numbers, loaded.numbers);
        EXPECT_EQ(reloaded.texts, loaded.texts);
    }
}

TEST_F(SettingsFileTest, ALineEndingInABytePastTheSystemEncodingKeepsIt)
{
    // A byte that would begin a longer UTF-8 character, last on its line, is not
    // half of a character that goes on in the next line: the line keeps it.
    for (const QByteArray &line : {QByteArray("; CAF\xe9"), QByteArray("; \xc3"), QByteArray("; \xe2\x82")}) {
        SCOPED_TRACE(line.toHex(' ').constData());
        EXPECT_TRUE(saveOver(line + "\r\nVOICECB=1\r\n").startsWith(line + "\r\nVOICECB= 0\r\n"));
        EXPECT_TRUE(saveOver("VOICECB=1\r\n" + line).startsWith("VOICECB= 0\r\n" + line + "\r\n"));
    }
}

TEST_F(SettingsFileTest, ATextWrittenInTheWindowsEncodingKeepsItsCharacters)
{
    // A file written or edited on Windows holds its texts in Windows-1252. Read
    // as UTF-8 their accented letters would turn into substitution characters,
    // and the next save would write those in place of the letters.
    const QByteArray file = "EXECUTING=Ex\xe9"
                            "cution\r\nSAYAGAIN=Pardon\x92s \x80\r\n; caf\xe9\r\n";
    const FakeSettingsBinding loaded = load(file);
    EXPECT_EQ(loaded.text(SettingKey::EXECUTING), QString::fromUtf8("Ex\xc3\xa9"
                                                                    "cution"));
    EXPECT_EQ(loaded.text(SettingKey::SAYAGAIN), QString::fromUtf8("Pardon\xe2\x80\x99s \xe2\x82\xac"));

    const QByteArray saved = saveOver(file, loaded);
    EXPECT_TRUE(saved.startsWith("EXECUTING=Ex\xc3\xa9"
                                 "cution\r\nSAYAGAIN=Pardon\xe2\x80\x99s \xe2\x82\xac\r\n"
                                 "; CAF\xe9\r\n"))
        << saved.constData();
    const FakeSettingsBinding reloaded = load(saved);
    EXPECT_EQ(reloaded.texts, loaded.texts);
}

TEST_F(SettingsFileTest, ALineBreakInATextCannotAddALine)
{
    FakeSettingsBinding binding;
    binding.texts[SettingKey::SAYAGAIN] = QStringLiteral("again\r\nVOICECB=2");
    SaveDat(iniPath(), binding);
    EXPECT_EQ(readBytes(iniPath()).count("\r\n"), 14);
    const FakeSettingsBinding loaded = load(readBytes(iniPath()));
    EXPECT_EQ(loaded.text(SettingKey::SAYAGAIN), QStringLiteral("again  VOICECB=2"));
    EXPECT_EQ(loaded.number(SettingKey::VOICECB), 0);
}

TEST_F(SettingsFileTest, SaveKeepsTheFilesPermissions)
{
    writeBytes(iniPath(), "VOICECB=1\r\n");
    ASSERT_EQ(::chmod(QFile::encodeName(iniPath()).constData(), 0640), 0);
    SaveDat(iniPath(), FakeSettingsBinding());
    struct stat info = {};
    ASSERT_EQ(::stat(QFile::encodeName(iniPath()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
}

TEST_F(SettingsFileTest, AWriteProtectedFileIsNotReplacedAndALinkedOneIsWrittenThrough)
{
    // Protected: someone wants these settings kept, and the save must say it
    // could not, not go round the protection by renaming over it.
    writeBytes(iniPath(), "VOICECB=1\r\n");
    ASSERT_EQ(::chmod(QFile::encodeName(iniPath()).constData(), 0444), 0);
    expectSaveFails(iniPath());
    EXPECT_EQ(readBytes(iniPath()), "VOICECB=1\r\n");
    EXPECT_FALSE(QFileInfo::exists(tempPath()));
    ::chmod(QFile::encodeName(iniPath()).constData(), 0644);
    QFile::remove(iniPath());

    // Linked (kept with other dotfiles elsewhere): the file linked to is the
    // settings file, and the link stays.
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("kept")));
    const QString real = m_dir.filePath(QStringLiteral("kept/KESTREL.INI"));
    writeBytes(real, "VOICECB=1\r\n");
    for (const QString &link : {real, QStringLiteral("kept/KESTREL.INI")}) { // absolute, relative
        SCOPED_TRACE(link.toStdString());
        QFile::remove(iniPath());
        ASSERT_EQ(::symlink(QFile::encodeName(link).constData(), QFile::encodeName(iniPath()).constData()),
                  0);
        SaveDat(iniPath(), FakeSettingsBinding());
        EXPECT_TRUE(QFileInfo(iniPath()).isSymLink());
        EXPECT_TRUE(readBytes(real).startsWith("VOICECB= 0\r\n"));
        EXPECT_FALSE(QFileInfo::exists(tempPath()));
        EXPECT_FALSE(QFileInfo::exists(m_dir.filePath(QStringLiteral("kept/ALLTMP"))));
        writeBytes(real, "VOICECB=1\r\n");
    }

    // A chain of links, and a link to a file not made yet, end at that file.
    const QString middle = m_dir.filePath(QStringLiteral("kept/middle.ini"));
    for (const bool fileExists : {true, false}) {
        SCOPED_TRACE(fileExists ? "chain" : "nothing there yet");
        QFile::remove(iniPath());
        QFile::remove(real);
        if (fileExists)
            writeBytes(real, "VOICECB=1\r\n");
        ASSERT_EQ(::symlink(QFile::encodeName(real).constData(), QFile::encodeName(middle).constData()), 0);
        ASSERT_EQ(::symlink(QFile::encodeName(middle).constData(), QFile::encodeName(iniPath()).constData()),
                  0);
        SaveDat(iniPath(), FakeSettingsBinding());
        EXPECT_TRUE(QFileInfo(iniPath()).isSymLink());
        EXPECT_TRUE(QFileInfo(middle).isSymLink());
        EXPECT_TRUE(readBytes(real).startsWith("VOICECB= 0\r\n"));
        QFile::remove(middle);
    }
}

TEST_F(SettingsFileTest, AMissingFileLoadsNothingAndAnUnreadableOneIsNeverReplaced)
{
    FakeSettingsBinding binding;
    EXPECT_FALSE(LoadDat(iniPath(), binding));
    EXPECT_TRUE(binding.attempts.isEmpty());

    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("KESTREL.INI")));
    writeBytes(iniPath() + QStringLiteral("/inside"), "keep");
    expectSaveFails(iniPath());
    EXPECT_EQ(readBytes(iniPath() + QStringLiteral("/inside")), "keep");
    EXPECT_FALSE(QFileInfo::exists(tempPath()));
    EXPECT_THROW(LoadDat(iniPath(), binding), Failure);
}

// Read whole at start-up: a FIFO in its place waited for ever (logout could
// not end the program), a link to a device read until memory ran out.
TEST_F(SettingsFileTest, ASettingsFileThatIsNoSmallRegularFileIsRefusedAndKept)
{
    const struct
    {
        const char *name;
        std::function<void(const QString &)> make;
        const char *reason;
    } cases[] = {
        {"FIFO", [](const QString &p) { ASSERT_EQ(::mkfifo(QFile::encodeName(p).constData(), 0600), 0); },
         "not a regular file"},
        {"link to a device",
         [](const QString &p) { ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), p)); },
         "not a regular file"},
        {"huge",
         [](const QString &p) {
             QFile file(p);
             ASSERT_TRUE(file.open(QIODevice::WriteOnly));
             ASSERT_TRUE(file.resize(2 * 1024 * 1024)); // sparse
         },
         "larger than 1 MB"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(iniPath());
        c.make(iniPath());
        // Should a read open the FIFO after all, a writer comes and goes, so
        // that the test fails instead of waiting for ever.
        std::atomic<bool> done{false};
        std::thread writer([&] {
            while (!done) {
                const int fd = ::open(QFile::encodeName(iniPath()).constData(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0)
                    ::close(fd);
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        });
        FakeSettingsBinding binding;
        try {
            LoadDat(iniPath(), binding);
            ADD_FAILURE() << "loaded";
        } catch (const Failure &failure) {
            EXPECT_TRUE(failure.description().contains(QLatin1String(c.reason))) << failure.what();
        }
        EXPECT_TRUE(binding.attempts.isEmpty());
        expectSaveFails(QStringLiteral("KESTREL.INI"));
        done = true;
        writer.join();
        const QFileInfo after(iniPath());
        EXPECT_FALSE(after.isFile() && after.size() < 1024) << "replaced by a save";
        EXPECT_FALSE(QFileInfo::exists(tempPath()));
    }
}

TEST_F(SettingsFileTest, AFailedWriteLeavesTheOldFile)
{
    writeBytes(iniPath(), "VOICECB=1\r\n");
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("ALLTMP"))); // ALLTMP cannot be created
    expectSaveFails(QStringLiteral("ALLTMP"));
    EXPECT_EQ(readBytes(iniPath()), "VOICECB=1\r\n");
}

TEST_F(SettingsFileTest, ALeftOverAlltmpLinkedToAnotherFileNeverChangesThatFile)
{
    // Whatever stands under the name ALLTMP, the save writes a file of its own:
    // another file that ALLTMP is a link to keeps its content, and the settings
    // file becomes a plain file.
    const QString other = m_dir.filePath(QStringLiteral("other.txt"));
    const std::pair<const char *, int (*)(const char *, const char *)> links[] = {
        {"symbolic link", ::symlink}, {"hard link", ::link}};
    for (const auto &[kind, makeLink] : links) {
        SCOPED_TRACE(kind);
        writeBytes(other, "precious");
        writeBytes(iniPath(), "VOICECB=1\r\n");
        QFile::remove(tempPath());
        ASSERT_EQ(makeLink(QFile::encodeName(other).constData(), QFile::encodeName(tempPath()).constData()),
                  0);

        SaveDat(iniPath(), FakeSettingsBinding());
        EXPECT_EQ(readBytes(other), "precious");
        EXPECT_TRUE(readBytes(iniPath()).startsWith("VOICECB= 0\r\n"));
        EXPECT_FALSE(QFileInfo(iniPath()).isSymLink());
        EXPECT_FALSE(QFileInfo::exists(tempPath()));
    }
}

TEST_F(SettingsFileTest, AKilledSaveLeavesTheOldOrTheNewFileInFull)
{
    const QString path = iniPath();
    // The file the loop produces from what is there, for one set of values.
    const auto saved = [&](const QByteArray &before, int which) {
        writeBytes(path, before);
        SaveDat(path, saveLoopValues(which));
        return readBytes(path);
    };
    const QByteArray first = saved(saveLoopStartFile(), 0);
    const QByteArray second = saved(first, 1);
    ASSERT_EQ(saved(second, 0), first);
    ASSERT_NE(first, second);
    writeBytes(path, first);

    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> delayMicroseconds(0, 20000);
    for (int kill = 0; kill < 60; ++kill) {
        QProcess loop;
        loop.start(QStringLiteral(KESTREL_SAVE_LOOP_HELPER), {path});
        ASSERT_TRUE(loop.waitForStarted()) << loop.errorString().toStdString();
        ASSERT_TRUE(loop.waitForReadyRead(60000)) << loop.readAllStandardError().toStdString();
        std::this_thread::sleep_for(std::chrono::microseconds(delayMicroseconds(random)));
        loop.kill();
        ASSERT_TRUE(loop.waitForFinished());
        ASSERT_EQ(loop.exitStatus(), QProcess::CrashExit) << "the save loop stopped by itself";

        ASSERT_TRUE(QFileInfo::exists(path)) << "after kill " << kill;
        const QByteArray now = readBytes(path);
        ASSERT_TRUE(now == first || now == second)
            << "after kill " << kill << " the file has " << now.size() << " bytes of neither content";
    }
}

} // namespace
