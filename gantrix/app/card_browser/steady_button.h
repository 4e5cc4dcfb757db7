#pragma once

// A push button as wide as the widest of the texts it takes in turn, so that changing its
// text ("Download files", "Cancel", "Cancel uploading") moves nothing beside it.

#include <QPushButton>
#include <QStringList>

class SteadyButton : public QPushButton {
public:
    // The first text is shown.
    explicit SteadyButton(const QStringList& texts, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

private:
    QStringList texts_;
};
