#include "speech_platform/sphinx/CommandRejection.h"

#include <QList>

#include <algorithm>
#include <limits>

namespace kestrel {

CommandRejection CommandRejection::calibrated()
{
    // Measured with kestrel_sphinx_eval: the acoustic score gap did not separate
    // in-table from out-of-table speech on this model (both spread over the same
    // range), so it is recorded but does not decide; the dictation decode's
    // agreement with the command phrase does. Out-of-table sentences reached at
    // most 0.35, while most spoken commands reach 0.4 or more.
    CommandRejection r;
    r.strongGap = std::numeric_limits<double>::infinity();
    r.weakGap = -std::numeric_limits<double>::infinity();
    r.agreement = 0.36;
    r.minFrames = 20;
    return r;
}

bool CommandRejection::accept(const RejectionFeatures &f) const
{
    if (f.frames < minFrames)
        return false;
    if (f.scoreGapPerFrame >= strongGap)
        return true;
    return f.scoreGapPerFrame >= weakGap && f.dictationAgreement >= agreement;
}

double phoneAgreement(const QStringList &a, const QStringList &b)
{
    if (a.isEmpty() || b.isEmpty())
        return 0.0;
    QList<int> previous(b.size() + 1, 0);
    QList<int> current(b.size() + 1, 0);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        for (qsizetype j = 1; j <= b.size(); ++j) {
            current[j] = a[i - 1] == b[j - 1] ? previous[j - 1] + 1 : std::max(previous[j], current[j - 1]);
        }
        std::swap(previous, current);
    }
    return double(previous[b.size()]) / double(std::max(a.size(), b.size()));
}

} // namespace kestrel
