// The main window's controls as the join command sees them.
#pragma once

#include "join/JoinCommand.h"

namespace paperloom {

class Form1;

/// Reads the document list, Check3 and Option1 of a Form1 and drives its ProgressBar1 and
/// pointer. Holds the window by reference: it lives only while one command runs.
class FormJoinWindow final : public JoinWindow {
public:
    explicit FormJoinWindow(Form1& form) : m_form(form) {}

    /// Check3's Value is 1.
    [[nodiscard]] bool pageBreaks() const override;
    /// Option1 is chosen.
    [[nodiscard]] bool portrait() const override;
    [[nodiscard]] int entryCount() const override;
    /// The Text of ListItems(index) as a file name; throws ListItemError out of range.
    [[nodiscard]] std::string entryPath(int index) const override;
    void setProgress(float value) override;
    void setMousePointer(MousePointerValue value) override;

private:
    Form1& m_form;
};

} // namespace paperloom
