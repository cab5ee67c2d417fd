#include "FocusLender.h"

#include "keyboard/KeyboardPanel.h"
#include "keyboard/view/fields/TextField.h"

void FocusLender::allow(bool allow) {
    if (m_window && m_window->allowFocus() != allow)
        m_window->setAllowFocus(allow);
}

void FocusLender::lend(TextField& borrower) {
    if (!m_borrowers.contains(&borrower))
        m_borrowers.append(&borrower);
    allow(true);
    if (m_window)
        m_window->activate();
}

void FocusLender::giveBack(TextField& borrower) {
    m_borrowers.removeAll(&borrower);
    allow(!m_borrowers.isEmpty());
    // The field still open keeps the typing.
    if (!m_borrowers.isEmpty())
        m_borrowers.last()->takeFocus();
}
