#pragma once

#include <QDialog>

#include <array>

class QGroupBox;
class QPushButton;
class QRadioButton;

namespace vx {

class WorkspaceLink;

// Chooses where neutral and reverse sit along a barrel gearbox's barrel and sends the choice
// to the gearbox controller at once.
class GearChangePattern : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kPatternCount = 4;

    explicit GearChangePattern(WorkspaceLink& link, QWidget* parent = nullptr);

    // Selects the pattern last chosen and checks that the controller answers.
    void load();
    void PatternType_Click(int index);

private:
    WorkspaceLink& link_;
    QGroupBox* Frame1 = nullptr;
    std::array<QRadioButton*, kPatternCount> PatternType{};
    QPushButton* Exit = nullptr;
    bool sending_ = false;
};

} // namespace vx
