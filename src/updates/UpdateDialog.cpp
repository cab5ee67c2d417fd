#include "updates/UpdateDialog.h"

#include "updates/WebAddress.h"

#include <QDesktopServices>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

namespace UpdateDialog {

QMessageBox* create(const UpdateCheckResult& result) {
    auto* box = new QMessageBox();
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowTitle(QStringLiteral("Runeboard"));
    box->setIcon(result.outcome == UpdateCheckResult::Outcome::Failed ? QMessageBox::Warning
                                                                      : QMessageBox::Information);
    box->setTextFormat(Qt::PlainText);
    box->setText(result.title);
    box->setInformativeText(result.message);
    // The sentence carries what the feed said; the box would otherwise guess
    // at markup there and open any link in it.
    for (QLabel* label : box->findChildren<QLabel*>()) {
        label->setTextFormat(Qt::PlainText);
        label->setOpenExternalLinks(false);
    }
    if (!result.detail.isEmpty())
        box->setDetailedText(result.detail);
    if (WebAddress::isWebAddress(result.downloadPage)) {
        QPushButton* open = box->addButton(result.openButtonText, QMessageBox::AcceptRole);
        const QUrl page = result.downloadPage;
        QObject::connect(open, &QPushButton::clicked, box, [page] { QDesktopServices::openUrl(page); });
        box->setDefaultButton(open);
    }
    box->setEscapeButton(box->addButton(result.closeButtonText, QMessageBox::RejectRole));
    return box;
}

void show(const UpdateCheckResult& result) {
    QMessageBox* box = create(result);
    box->show();
    box->raise();
    box->activateWindow();
}

} // namespace UpdateDialog
