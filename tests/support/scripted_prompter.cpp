#include "tests/support/scripted_prompter.h"

#include <gtest/gtest.h>

namespace vt5test {

ScriptedPrompter::~ScriptedPrompter() {
    EXPECT_TRUE(script_.empty()) << script_.size() << " scripted answer(s) never asked for";
}

void ScriptedPrompter::answer(QMessageBox::StandardButton button) {
    script_.push_back({true, button, Pick::kFolder, {}});
}

void ScriptedPrompter::pick(Pick::Kind kind, QStringList result) {
    script_.push_back({false, QMessageBox::NoButton, kind, std::move(result)});
}

std::vector<std::string> ScriptedPrompter::texts() const {
    std::vector<std::string> texts;
    for (const Prompt& p : prompts_)
        texts.push_back(p.text.toStdString());
    return texts;
}

void ScriptedPrompter::clear() {
    script_.clear();
    prompts_.clear();
    picks_.clear();
}

QMessageBox::StandardButton ScriptedPrompter::message(QWidget*, const Prompt& prompt) {
    prompts_.push_back(prompt);
    if (script_.empty() || !script_.front().isMessage) {
        ADD_FAILURE() << "unexpected message box: " << Describe(prompt);
        return QMessageBox::NoButton;
    }
    const QMessageBox::StandardButton button = script_.front().button;
    script_.pop_front();
    EXPECT_TRUE(prompt.buttons.testFlag(button))
        << "answered with a button the box does not have: " << Describe(prompt);
    return button;
}

QStringList ScriptedPrompter::takePick(Pick::Kind kind, const QString& caption,
                                       const QString& start) {
    picks_.push_back({kind, caption, start, {}});
    if (script_.empty() || script_.front().isMessage || script_.front().kind != kind) {
        ADD_FAILURE() << "unexpected picker: " << caption.toStdString();
        return {};
    }
    QStringList picked = std::move(script_.front().picked);
    script_.pop_front();
    return picked;
}

QString ScriptedPrompter::pickFolder(QWidget*, const QString& caption, const QString& start) {
    return takePick(Pick::kFolder, caption, start).value(0);
}

QString ScriptedPrompter::pickOpenFile(QWidget*, const QString& caption, const QString& start,
                                       const QString& filter) {
    QString picked = takePick(Pick::kOpenFile, caption, start).value(0);
    picks_.back().filter = filter;
    return picked;
}

QStringList ScriptedPrompter::pickOpenFiles(QWidget*, const QString& caption, const QString& start,
                                            const QString& filter) {
    QStringList picked = takePick(Pick::kOpenFiles, caption, start);
    picks_.back().filter = filter;
    return picked;
}

std::string Describe(const Prompt& prompt) {
    return prompt.caption.toStdString() + " | " + prompt.text.toStdString();
}

}  // namespace vt5test
