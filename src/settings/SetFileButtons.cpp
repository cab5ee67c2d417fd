#include "settings/SetFileButtons.h"

#include "localization/LocalizationManager.h"
#include "sets/SetFile.h"
#include "sets/SetStore.h"

#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>

SetFileButtons::SetFileButtons(SetStore& sets, LocalizationManager& localization, QWidget* parent)
    : QWidget(parent)
    , m_sets(sets)
    , m_localization(localization)
    , m_import(new QPushButton(this))
    , m_export(new QPushButton(this)) {
    m_import->setObjectName(QStringLiteral("importSetButton"));
    m_export->setObjectName(QStringLiteral("exportSetButton"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(m_import);
    row->addWidget(m_export);
    row->addStretch(1);
    connect(m_import, &QPushButton::clicked, this, &SetFileButtons::importSet);
    connect(m_export, &QPushButton::clicked, this, &SetFileButtons::exportSet);
    retranslate();
}

void SetFileButtons::retranslate() {
    m_import->setText(m_localization.localized(QStringLiteral("import_set")));
    m_export->setText(m_localization.localized(QStringLiteral("export_set")));
}

void SetFileButtons::tell(const QString& title, const QString& text) {
    QMessageBox::warning(this, title, text);
}

void SetFileButtons::importSet() {
    const QString path = QFileDialog::getOpenFileName(
        this, m_localization.localized(QStringLiteral("import_set")), QDir::homePath(),
        m_localization.localized(QStringLiteral("set_file_filter")));
    if (path.isEmpty())
        return;
    const SetFile::Result read = SetFile::read(path);
    if (read.set) {
        m_sets.addSet(*read.set);
        return;
    }
    QString why;
    switch (read.problem) {
    case SetFile::Problem::NotText:
        why = m_localization.localized(QStringLiteral("set_file_not_text"));
        break;
    case SetFile::Problem::Empty:
        why = m_localization.localized(QStringLiteral("set_file_empty"));
        break;
    case SetFile::Problem::TooLarge:
        why = m_localization.localized(QStringLiteral("set_file_too_large"));
        break;
    default:
        why = m_localization.localized(QStringLiteral("set_file_cannot_read")).arg(read.detail);
        break;
    }
    tell(m_localization.localized(QStringLiteral("set_not_imported")),
         QDir::toNativeSeparators(path) + u'\n' + why);
}

void SetFileButtons::exportSet() {
    QMenu menu(this);
    for (const SymbolSet& set : m_sets.sets()) {
        const QString name = m_localization.localized(set.name);
        menu.addAction(name, this, [this, set, name] {
            const QString path =
                QFileDialog::getSaveFileName(this, m_localization.localized(QStringLiteral("export_set")),
                                             QDir::home().filePath(name + QStringLiteral(".txt")),
                                             m_localization.localized(QStringLiteral("set_file_filter")));
            QString detail;
            if (!path.isEmpty() && SetFile::write(path, name, set, &detail) != SetFile::Problem::None)
                tell(m_localization.localized(QStringLiteral("export_set")),
                     m_localization.localized(QStringLiteral("set_file_cannot_write")).arg(detail));
        });
    }
    menu.exec(m_export->mapToGlobal(QPoint(0, m_export->height())));
}
