#include "vt5api/ui/prompter.h"

#include <QFileDialog>

#include "vt5api/ui/ui_text.h"

QMessageBox::StandardButton Prompter::message(QWidget* parent, const char* caption,
                                              const std::string& text, QMessageBox::Icon icon,
                                              QMessageBox::StandardButtons buttons,
                                              QMessageBox::StandardButton defaultButton) {
    return message(parent, Prompt{UiText(caption), UiText(text), icon, buttons, defaultButton});
}

QMessageBox::StandardButton QtPrompter::message(QWidget* parent, const Prompt& prompt) {
    QMessageBox box(prompt.icon, prompt.caption, prompt.text, prompt.buttons, parent);
    if (prompt.defaultButton != QMessageBox::NoButton) box.setDefaultButton(prompt.defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

QString QtPrompter::pickFolder(QWidget* parent, const QString& caption, const QString& start) {
    return QFileDialog::getExistingDirectory(parent, caption, start);
}

QString QtPrompter::pickOpenFile(QWidget* parent, const QString& caption, const QString& start,
                                 const QString& filter) {
    return QFileDialog::getOpenFileName(parent, caption, start, filter);
}

QStringList QtPrompter::pickOpenFiles(QWidget* parent, const QString& caption, const QString& start,
                                      const QString& filter) {
    return QFileDialog::getOpenFileNames(parent, caption, start, filter);
}
