#include "speech_platform/sphinx/CommandRejection.h"

#include <QList>

#include <algorithm>

namespace kestrel {

CommandRejection CommandRejection::calibrated()
{
    // Measured with kestrel_sphinx_eval on five voices, three speeds and two
    // noise floors: 0.5 let through one out-of-table sentence in 125 and accepted
    // 85% of in-table phrases; 0.55 let none through but accepted 79%. White
    // noise heard as "this" (a yes-word of three phones) is why short phrases
    // need more than a share.
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
