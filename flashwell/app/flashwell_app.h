#pragma once

// Flashwell's application object: runs the updater dialog; the program ends when it closes.

class Prompter;

class CFlashwellApp {
public:
    // Every message of the program goes through prompter.
    explicit CFlashwellApp(Prompter& prompterRef) : prompter(prompterRef) {}
    CFlashwellApp(const CFlashwellApp&) = delete;
    CFlashwellApp& operator=(const CFlashwellApp&) = delete;

    // Shows the updater dialog modally.
    int Run();

    Prompter& prompter;
};
