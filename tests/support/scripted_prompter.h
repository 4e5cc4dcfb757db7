#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <string>
#include <vector>

#include "vt5api/ui/prompter.h"

namespace vt5test {

// A Prompter for tests: records every message box and picker call and answers them from a
// script, in order. A prompt without a scripted answer of its kind fails the test (and is
// answered with NoButton, or an empty pick, as a cancel); answers left over when the object
// ends fail it too.
class ScriptedPrompter final : public Prompter {
public:
    struct Pick {
        enum Kind { kFolder, kOpenFile, kOpenFiles } kind;
        QString caption;
        QString start;
        QString filter;  // of the file pickers
    };

    ScriptedPrompter() = default;
    ~ScriptedPrompter() override;
    ScriptedPrompter(const ScriptedPrompter&) = delete;
    ScriptedPrompter& operator=(const ScriptedPrompter&) = delete;

    // The button chosen in the next message box.
    void answer(QMessageBox::StandardButton button);
    // What the next picker returns; an empty result is a cancel.
    void pick(Pick::Kind kind, QStringList result);
    void pickFolder(const QString& folder) { pick(Pick::kFolder, {folder}); }

    const std::vector<Prompt>& prompts() const { return prompts_; }
    const std::vector<Pick>& picks() const { return picks_; }
    // The texts of the message boxes shown so far, as the system wrote them ("\n" breaks).
    std::vector<std::string> texts() const;
    bool scriptDone() const { return script_.empty(); }
    void clear();

    using Prompter::message;
    QMessageBox::StandardButton message(QWidget* parent, const Prompt& prompt) override;
    QString pickFolder(QWidget* parent, const QString& caption, const QString& start) override;
    QString pickOpenFile(QWidget* parent, const QString& caption, const QString& start,
                         const QString& filter) override;
    QStringList pickOpenFiles(QWidget* parent, const QString& caption, const QString& start,
                              const QString& filter) override;

private:
    struct Step {
        bool isMessage;
        QMessageBox::StandardButton button;
        Pick::Kind kind;
        QStringList picked;
    };

    QStringList takePick(Pick::Kind kind, const QString& caption, const QString& start);

    std::deque<Step> script_;
    std::vector<Prompt> prompts_;
    std::vector<Pick> picks_;
};

// "caption | text" of a prompt, for failure messages.
std::string Describe(const Prompt& prompt);

}  // namespace vt5test
