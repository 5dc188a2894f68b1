#include "SpeechClips.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <random>

namespace kestrel::testing {
namespace {

Samples fromBytes(const QByteArray &bytes)
{
    Samples samples(size_t(bytes.size()) / 2);
    std::memcpy(samples.data(), bytes.constData(), samples.size() * 2);
    return samples;
}

QByteArray runPipeline(const QString &command)
{
    QProcess process;
    process.start(QStringLiteral("sh"), {QStringLiteral("-c"), command});
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return {};
    return process.readAllStandardOutput();
}

QString quoted(const QString &text)
{
    QString q = text;
    q.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
}

int16_t clamp16(double v)
{
    return int16_t(std::clamp(std::lround(v), -32768L, 32767L));
}

} // namespace

Samples synthesise(const QString &text, const QString &voice, int wordsPerMinute, const QString &cacheDir)
{
    QString cacheFile;
    if (!cacheDir.isEmpty()) {
        const QByteArray key = QCryptographicHash::hash(
            (text + QLatin1Char('|') + voice + QLatin1Char('|') + QString::number(wordsPerMinute)).toUtf8(),
            QCryptographicHash::Sha1);
        QDir().mkpath(cacheDir);
        cacheFile = cacheDir + QLatin1Char('/') + QString::fromLatin1(key.toHex()) + QStringLiteral(".raw");
        if (Samples cached = loadRaw(cacheFile); !cached.empty())
            return cached;
    }
    const QString command =
        QStringLiteral("espeak-ng -v %1 -s %2 --stdout %3 | sox -q -t wav - -r 16000 -c 1 -b 16 "
                       "-e signed-integer -t raw -")
            .arg(quoted(voice))
            .arg(wordsPerMinute)
            .arg(quoted(text));
    const QByteArray raw = runPipeline(command);
    if (!cacheFile.isEmpty() && !raw.isEmpty()) {
        QFile out(cacheFile);
        if (out.open(QIODevice::WriteOnly))
            out.write(raw);
    }
    return fromBytes(raw);
}

Samples loadRaw(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return fromBytes(file.readAll());
}

Samples loadWav(const QString &fileName)
{
    if (!QFile::exists(fileName))
        return {};
    return fromBytes(runPipeline(
        QStringLiteral("sox -q %1 -r 16000 -c 1 -b 16 -e signed-integer -t raw -").arg(quoted(fileName))));
}

void addNoise(Samples &samples, double sigma, unsigned seed)
{
    std::mt19937 generator(seed);
    std::normal_distribution<double> noise(0.0, sigma);
    for (int16_t &s : samples)
        s = clamp16(s + noise(generator));
}

Samples padded(const Samples &clip, double before, double after, double noiseSigma, unsigned seed)
{
    Samples out(size_t(before * 16000), 0);
    out.insert(out.end(), clip.begin(), clip.end());
    out.resize(out.size() + size_t(after * 16000), 0);
    addNoise(out, noiseSigma, seed);
    return out;
}

Samples noiseClip(char kind, double seconds, double amplitude, unsigned seed)
{
    const size_t n = size_t(seconds * 16000);
    Samples out(n, 0);
    std::mt19937 generator(seed);
    std::normal_distribution<double> gauss(0.0, 1.0);
    double brown = 0.0;
    for (size_t i = 0; i < n; ++i) {
        double v = 0.0;
        switch (kind) {
        case 'w':
            v = gauss(generator) * amplitude;
            break;
        case 'b':
            brown = 0.995 * brown + gauss(generator) * 0.1;
            v = brown * amplitude;
            break;
        case 'c':
            v = (i % 2000 < 40) ? gauss(generator) * amplitude * 3.0 : 0.0;
            break;
        case 'h':
            v = std::sin(2.0 * std::numbers::pi * 120.0 * double(i) / 16000.0) * amplitude +
                std::sin(2.0 * std::numbers::pi * 360.0 * double(i) / 16000.0) * amplitude / 3.0;
            break;
        default:
            break;
        }
        out[i] = clamp16(v);
    }
    return out;
}

} // namespace kestrel::testing
