#pragma once

// Panelcast's application object: the objects that live as long as the program and the run
// of its main dialog.

class Prompter;

class CPanelcastApp {
public:
    // Every message goes through prompter.
    explicit CPanelcastApp(Prompter& prompterRef) : prompter(prompterRef) {}
    CPanelcastApp(const CPanelcastApp&) = delete;
    CPanelcastApp& operator=(const CPanelcastApp&) = delete;

    // Creates the main dialog and runs it modally; the program ends with it.
    int Run();

    Prompter& prompter;
};
