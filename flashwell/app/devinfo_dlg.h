#pragma once

// The device information window: the composed text in a fixed-pitch font, and OK.

#include <QDialog>
#include <string>

class QLabel;

// Object names: labelInfo (the text), buttonOk.
class CDevinfoDlg : public QDialog {
    Q_OBJECT

public:
    // text: the device information text ("\n" line ends).
    explicit CDevinfoDlg(const std::string& text, QWidget* parent = nullptr);

    QString text() const;

private:
    QLabel* info_ = nullptr;
};
