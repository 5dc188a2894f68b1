#include "speech_platform/sphinx/CommandRejection.h"

#include <QList>

#include <algorithm>

namespace kestrel {

CommandRejection CommandRejection::calibrated()
{
    // Measured with kestrel_sphinx_eval (five voices at 175 words a minute, two
    // noise floors, 270 in-table and 224 out-of-table or noise clips): 0.5
    // accepted 206 in-table clips and let one other clip through; 0.45 accepted
    // 209 and let two through; 0.55 accepted 191. Three common phones instead of
    // four would accept five more, but white noise heard as "this" (a yes-word of
    // three phones) would pass too.
    CommandRejection r;
    r.agreement = 0.5;
    r.minCommonPhones = 4;
    r.minFrames = 20;
    return r;
}

bool CommandRejection::accept(const RejectionFeatures &f) const
{
    if (f.frames < minFrames)
        return false;
    return f.commandModelHeardCommand || (f.agreement >= agreement && f.commonPhones >= minCommonPhones);
}

int commonPhones(const QStringList &a, const QStringList &b)
{
    QList<int> previous(b.size() + 1, 0);
    QList<int> current(b.size() + 1, 0);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        for (qsizetype j = 1; j <= b.size(); ++j) {
            current[j] = a[i - 1] == b[j - 1] ? previous[j - 1] + 1 : std::max(previous[j], current[j - 1]);
        }
        std::swap(previous, current);
    }
    return previous[b.size()];
}

double phoneAgreement(const QStringList &a, const QStringList &b)
{
    if (a.isEmpty() || b.isEmpty())
        return 0.0;
    return double(commonPhones(a, b)) / double(std::max(a.size(), b.size()));
}

} // namespace kestrel
