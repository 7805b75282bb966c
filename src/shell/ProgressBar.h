// ProgressBar1: a bar from 0 to 100 whose value is kept in single precision.
#pragma once

#include <QProgressBar>

namespace paperloom {

class ProgressBar : public QProgressBar {
    Q_OBJECT

public:
    explicit ProgressBar(QWidget* parent = nullptr);

    [[nodiscard]] float Value() const { return m_value; }
    /// Sets the value and repaints at once, so progress shows while work holds the event loop.
    void setValue(float value);
    /// Paints the empty part of the bar white.
    void setWhiteBackground();

private:
    float m_value = 0.0F;
};

} // namespace paperloom
