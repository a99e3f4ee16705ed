#include "widgets/modal_hook.h"

#include <QDialog>

namespace {
ModalHook& CurrentHook() {
    static ModalHook hook;
    return hook;
}
} // namespace

int RunModal(QDialog& dialog) {
    // Copy: the hook may open a nested dialog that runs through here again.
    const ModalHook hook = CurrentHook();
    if (!hook) {
        return dialog.exec();
    }
    dialog.setResult(QDialog::Rejected);
    dialog.show();
    hook(dialog);
    if (dialog.isVisible()) {
        dialog.reject();
    }
    return dialog.result();
}

ScopedModalHook::ScopedModalHook(ModalHook hook) : m_previous(std::move(CurrentHook())) {
    CurrentHook() = std::move(hook);
}

ScopedModalHook::~ScopedModalHook() {
    CurrentHook() = std::move(m_previous);
}
