#include "tools/vt5-flash/console_view.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "tools/cli/terminal_text.h"

std::string TerminalText(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
    return out;
}

ConsoleView::ConsoleView(const cli::CommandLine& line, bool assumeYes)
    : line_(line), assumeYes_(assumeYes) {}

ConsoleView::~ConsoleView() {
    EndLog();
}

void ConsoleView::EndProgress() {
    if (progress_) progress_->Finish();
    progress_.reset();
}

void ConsoleView::Log(const std::string& text) {
    EndProgress();
    const std::string out = cli::ForTerminal(stdout, TerminalText(text), "\n");
    if (out.empty()) return;
    std::fputs(out.c_str(), stdout);
    std::fflush(stdout);
    lineOpen_ = out.back() != '\n';
}

void ConsoleView::EndLog() {
    EndProgress();
    if (!lineOpen_) return;
    std::fputc('\n', stdout);
    std::fflush(stdout);
    lineOpen_ = false;
}

void ConsoleView::ShowError(const std::string& caption, const std::string& text) {
    EndProgress();
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %s: %s\n", line_.program().c_str(), caption.c_str(),
                 cli::ForTerminal(stderr, TerminalText(text), "\n").c_str());
    std::fflush(stderr);
}

bool ConsoleView::AskYesNo(const std::string& caption, const std::string& text) {
    EndProgress();
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %s: %s\n", line_.program().c_str(), caption.c_str(),
                 cli::ForTerminal(stderr, TerminalText(text), "\n").c_str());
    if (assumeYes_) {
        std::fprintf(stderr, "Yes (--yes)\n");
        return true;
    }
    if (!::isatty(STDIN_FILENO)) {
        std::fprintf(stderr, "No: nobody at a terminal to answer (--yes answers Yes)\n");
        return false;
    }
    std::fprintf(stderr, "[y/N] ");
    std::fflush(stderr);
    std::string answer;
    if (!std::getline(std::cin, answer)) return false;
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes";
}

void ConsoleView::ShowDeviceInfo(const std::string& text) {
    const std::string out = cli::ForTerminal(stdout, text, "\n");
    std::fputs(out.c_str(), stdout);
    if (!out.empty() && out.back() != '\n') std::fputc('\n', stdout);
    std::fflush(stdout);
}

void ConsoleView::UploadProgress(const std::string& part, int64_t sent, int64_t total) {
    if (!progress_) progress_ = std::make_unique<cli::Progress>(part, static_cast<uint64_t>(total));
    progress_->Update(static_cast<uint64_t>(sent));
    if (total > 0 && sent >= total) EndProgress();
}
