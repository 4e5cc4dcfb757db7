#pragma once

// Every message box, question and file picker of the programs goes through a Prompter, so
// that a dialog can be driven without a screen: the programs use QtPrompter, tests a scripted
// one that checks what would have been shown.

#include <QMessageBox>
#include <QString>
#include <QStringList>

class QWidget;

// One message box. The caption and text are the system's own; "\r\n" in them is a line break.
struct Prompt {
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    // NoButton: the first of the buttons.
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

class Prompter {
public:
    virtual ~Prompter() = default;

    // Shows the message box modally over parent (may be null); the button chosen.
    virtual QMessageBox::StandardButton message(QWidget* parent, const Prompt& prompt) = 0;
    // A folder chosen by the user, starting in start (may be empty); empty when cancelled.
    virtual QString pickFolder(QWidget* parent, const QString& caption, const QString& start) = 0;
    // An existing file, filtered as QFileDialog's filters are; empty when cancelled.
    virtual QString pickOpenFile(QWidget* parent, const QString& caption, const QString& start,
                                 const QString& filter) = 0;
    // Several existing files; empty when cancelled.
    virtual QStringList pickOpenFiles(QWidget* parent, const QString& caption, const QString& start,
                                      const QString& filter) = 0;

    // Shorthand for a message box from the system's 8-bit texts.
    QMessageBox::StandardButton message(
        QWidget* parent, const char* caption, const std::string& text, QMessageBox::Icon icon,
        QMessageBox::StandardButtons buttons = QMessageBox::Ok,
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
};

// The Prompter of the programs: QMessageBox and QFileDialog.
class QtPrompter final : public Prompter {
public:
    using Prompter::message;
    QMessageBox::StandardButton message(QWidget* parent, const Prompt& prompt) override;
    QString pickFolder(QWidget* parent, const QString& caption, const QString& start) override;
    QString pickOpenFile(QWidget* parent, const QString& caption, const QString& start,
                         const QString& filter) override;
    QStringList pickOpenFiles(QWidget* parent, const QString& caption, const QString& start,
                              const QString& filter) override;
};
