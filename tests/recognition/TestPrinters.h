#pragma once

#include "recognition/ResultTree.h"

#include <QString>

#include <ostream>

// Readable failure messages for the Qt types these tests compare. Internal
// linkage keeps them from clashing with printers other test programs define.

static inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace kestrel {
static inline void PrintTo(const TreeNode &node, std::ostream *os)
{
    *os << "{" << node.key.toStdString() << ", \"" << node.text.toStdString() << "\", "
        << node.parentKey.toStdString() << "}";
}
} // namespace kestrel
