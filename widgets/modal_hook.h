#pragma once

#include <functional>

class QDialog;

// Every modal dialog, file or colour chooser and message box of the program runs through
// RunModal, so that tests can answer it without a nested event loop or sleeps.
//
// Without a hook RunModal is QDialog::exec(). With a hook the dialog is shown (so its
// initialisation has run), the hook is called with it and may type, click, accept() or
// reject(); RunModal then returns the dialog's result (QDialog::Rejected if the hook left it
// open, which it then closes).
using ModalHook = std::function<void(QDialog&)>;

int RunModal(QDialog& dialog);

// Installs a hook for the lifetime of the guard (tests only); guards nest.
class ScopedModalHook {
public:
    explicit ScopedModalHook(ModalHook hook);
    ~ScopedModalHook();
    ScopedModalHook(const ScopedModalHook&) = delete;
    ScopedModalHook& operator=(const ScopedModalHook&) = delete;

private:
    ModalHook m_previous;
};
