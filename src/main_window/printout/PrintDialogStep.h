#pragma once

#include <optional>

namespace kestrel {

/// Shows the print dialog and returns the number of copies the user asked for, or
/// nothing when the dialog was cancelled. Injectable so that the procedure can be
/// driven without a modal dialog.
class PrintDialogStep
{
public:
    virtual ~PrintDialogStep() = default;
    virtual std::optional<int> askCopies() = 0;
};

} // namespace kestrel
