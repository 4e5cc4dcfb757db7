#pragma once

// Starloom's application object: shows the main dialog modally; the program ends with it.

class Prompter;

class CStarloomw32App {
public:
    // Every message goes through prompter.
    explicit CStarloomw32App(Prompter& prompter);
    CStarloomw32App(const CStarloomw32App&) = delete;
    CStarloomw32App& operator=(const CStarloomw32App&) = delete;

    int Run();

private:
    Prompter& prompter_;
};
