#pragma once

#include "updates/UpdateCheckResult.h"

class QMessageBox;

// The message box that tells the result of a check: a plain-text title and
// sentence, the technical reason under "Show Details...", and for a newer
// version a button that opens the download page in the browser.
namespace UpdateDialog {

// The box, not yet shown; it deletes itself when closed. Its texts are never
// read as markup, and the download button exists only for an http or https page.
QMessageBox* create(const UpdateCheckResult& result);

// Shows a new box, non-modal, in front.
void show(const UpdateCheckResult& result);

} // namespace UpdateDialog
